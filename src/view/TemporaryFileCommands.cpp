// Placeholder until the file side lands; removed then.
#include "CSnipwellView.h"
void CSnipwellView::RegisterFileCommands() {}
#if __has_include("CutOperation.h")
#include "CutOperation.h"
#else
struct CutRequest {
    int clientWidth, clientHeight, viewWidth, viewHeight;
    cropbox::Rect box;
    int shape;
    double borderFraction;
};
#endif
// Placeholder until the Cut helper's function lands; removed then.
bool CutPicture(const RasterImage&, const CutRequest&, RasterImage&) { return false; }
#include "CSnipwellDoc.h"
CSnipwellDoc::CSnipwellDoc(QObject* parent) : QObject(parent) {}
CSnipwellDoc::~CSnipwellDoc() = default;
#include "moc_CSnipwellDoc.cpp"

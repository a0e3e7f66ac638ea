// Placeholder until the file side lands; removed then.
#include "CSnipwellView.h"
void CSnipwellView::RegisterFileCommands() {}
#include "CutOperation.h"
// Placeholder until the Cut helper's function lands; removed then.
bool CutPicture(const RasterImage&, const CutRequest&, RasterImage&) { return false; }
#include "CSnipwellDoc.h"
CSnipwellDoc::CSnipwellDoc(QObject* parent) : QObject(parent) {}
CSnipwellDoc::~CSnipwellDoc() = default;

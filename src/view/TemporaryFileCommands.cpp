// Placeholder until the file side lands; removed then.
#include "CSnipwellView.h"
void CSnipwellView::RegisterFileCommands() {}
#include "CSnipwellDoc.h"
CSnipwellDoc::CSnipwellDoc(QObject* parent) : QObject(parent) {}
CSnipwellDoc::~CSnipwellDoc() = default;
#include "moc_CSnipwellDoc.cpp"

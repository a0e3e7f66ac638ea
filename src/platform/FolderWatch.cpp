#include "platform/FolderWatch.h"

#include <sys/inotify.h>

namespace {

// What a watch of subfolders hears besides the folder events themselves.
constexpr uint32_t kFolderItself = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_Q_OVERFLOW;

}  // namespace

FolderWatch::FolderWatch(QObject* parent, Scope scope)
    : QObject(parent), m_scope(scope), m_hub(InotifyHub::Shared()) {}

FolderWatch::~FolderWatch() { Stop(); }

bool FolderWatch::Watch(const QString& folder) {
    Stop();
    m_watchDescriptor = m_hub->Subscribe(folder, this);
    return m_watchDescriptor >= 0;
}

void FolderWatch::Stop() {
    if (m_watchDescriptor >= 0) m_hub->Unsubscribe(m_watchDescriptor, this);
    m_watchDescriptor = -1;
}

void FolderWatch::OnFolderEvent(uint32_t mask) {
    // Events of files in the folder carry no IN_ISDIR.
    if (m_scope == Scope::Subfolders && !(mask & (IN_ISDIR | kFolderItself))) return;
    emit changed();
}

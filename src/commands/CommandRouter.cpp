#include "commands/CommandRouter.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <algorithm>

namespace {
CommandRouter* g_router = nullptr;
}  // namespace

// ---- CommandHandlers --------------------------------------------------------------------------

void CommandHandlers::On(uint32_t id, Handler handler, UpdateHandler update) {
    RangeHandler range;
    if (handler) range = [handler = std::move(handler)](uint32_t) { handler(); };
    m_entries.push_back(Entry{id, id, std::move(range), {}, std::move(update)});
}

void CommandHandlers::OnValue(uint32_t id, ValueHandler handler, UpdateHandler update) {
    m_entries.push_back(Entry{id, id, {}, std::move(handler), std::move(update)});
}

void CommandHandlers::OnUpdate(uint32_t id, UpdateHandler update) {
    m_entries.push_back(Entry{id, id, {}, {}, std::move(update)});
}

void CommandHandlers::OnRange(uint32_t first, uint32_t last, RangeHandler handler, UpdateHandler update) {
    m_entries.push_back(Entry{first, last, std::move(handler), {}, std::move(update)});
}

const CommandHandlers::Entry* CommandHandlers::Find(uint32_t id) const {
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) {
        if (id >= it->first && id <= it->last) return &*it;
    }
    return nullptr;
}

bool CommandHandlers::Handles(uint32_t id) const {
    return Find(id) != nullptr;
}

bool CommandHandlers::Execute(uint32_t id, const CommandValue* value) const {
    const Entry* entry = Find(id);
    if (!entry) return false;
    if (entry->valueHandler) {
        if (value) entry->valueHandler(*value);
        return true;
    }
    if (!entry->handler) return false;
    entry->handler(id);
    return true;
}

bool CommandHandlers::Update(CommandUpdate& update) const {
    const Entry* entry = Find(update.id);
    if (!entry) return false;
    // A command with a handler is enabled unless its update handler says otherwise; an
    // update-only entry (status panes, menu buttons) is enabled as well.
    update.enabled = true;
    if (entry->update) entry->update(update);
    return true;
}

// ---- CommandRouter ----------------------------------------------------------------------------

CommandRouter::CommandRouter(QObject* parent) : QObject(parent) {
    g_router = this;
    SetIdleUpdatesEnabled(true);
}

CommandRouter::~CommandRouter() {
    if (g_router == this) g_router = nullptr;
}

CommandRouter* CommandRouter::Instance() {
    return g_router;
}

void CommandRouter::SetActiveView(const CommandHandlers* view) { m_view = view; }
void CommandRouter::SetPictureView(const CommandHandlers* view) { m_pictureView = view; }
void CommandRouter::SetDocument(const CommandHandlers* document) { m_document = document; }
void CommandRouter::SetFrame(const CommandHandlers* frame) { m_frame = frame; }
void CommandRouter::SetApplication(const CommandHandlers* application) { m_application = application; }

bool CommandRouter::Execute(uint32_t id) { return Dispatch(id, nullptr); }

bool CommandRouter::Execute(uint32_t id, const CommandValue& value) { return Dispatch(id, &value); }

std::array<const CommandHandlers*, 5> CommandRouter::Route() const {
    return {m_view, m_pictureView != m_view ? m_pictureView : nullptr, m_document, m_frame, m_application};
}

bool CommandRouter::Dispatch(uint32_t id, const CommandValue* value) {
    for (const CommandHandlers* target : Route()) {
        if (target && target->Execute(id, value)) return true;
    }
    return false;
}

void CommandRouter::Post(uint32_t id) {
    QPointer<CommandRouter> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, id] {
            if (self) self->Execute(id);
        },
        Qt::QueuedConnection);
}

CommandUpdate CommandRouter::QueryUpdate(uint32_t id) const {
    CommandUpdate update;
    update.id = id;
    for (const CommandHandlers* target : Route()) {
        if (target && target->Update(update)) return update;
    }
    update.enabled = false;  // nobody handles it
    return update;
}

void CommandRouter::RunUpdatePass() {
    if (m_inUpdatePass) return;
    m_inUpdatePass = true;
    emit updatePass();
    m_inUpdatePass = false;
}

void CommandRouter::SetIdleUpdatesEnabled(bool enabled) {
    m_idleUpdates = enabled;
    if (m_idleConnection) disconnect(m_idleConnection);
    m_idleConnection = {};
    if (!enabled) return;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread());
    if (!dispatcher) return;
    m_idleConnection =
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &CommandRouter::OnAboutToBlock);
}

void CommandRouter::OnAboutToBlock() {
    // The loop is about to wait: the interface is idle. The pass itself may post events
    // (repaints); one pass per idle moment is enough.
    if (m_updateQueued || !m_idleUpdates) return;
    m_updateQueued = true;
    RunUpdatePass();
    m_updateQueued = false;
}

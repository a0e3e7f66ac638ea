// Command routing: numeric command ids go to the first target that handles them, in the
// order active view -> document -> frame -> application. What the active view does not
// handle goes on to the picture view before the document, so that the picture's commands
// and status texts keep working whichever pane has the keyboard focus. Enable, check, radio and text
// states are pulled through update handlers on every idle pass of the event loop and
// whenever a menu opens. A control that holds a value (a slider, an edit box) hands it to its
// command, and shows the value the command's owner reports in the update.
#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

// What a control hands to its command: a slider's position or an edit box's text.
using CommandValue = std::variant<int, QString>;

// What an update handler says about a command. A command without any handler in the route
// is disabled; a handled command without an update handler is enabled.
struct CommandUpdate {
    uint32_t id = 0;
    bool enabled = true;
    std::optional<bool> checked;   // check box / check mark
    std::optional<bool> radio;     // radio mark (menu items)
    std::optional<QString> text;   // new label text
    std::optional<int> value;      // the owner's value, shown by a slider or an edit box
    std::optional<QString> note;   // a status pane's warning: its tooltip, the pane flagged
};

// The handlers of one routing target (a view, the document, the frame, the application).
class CommandHandlers {
public:
    using Handler = std::function<void()>;
    using RangeHandler = std::function<void(uint32_t id)>;
    using UpdateHandler = std::function<void(CommandUpdate&)>;
    using ValueHandler = std::function<void(const CommandValue&)>;

    // Handler (and optional update handler) for one id; a later registration replaces it.
    void On(uint32_t id, Handler handler, UpdateHandler update = {});
    // Only an update handler (status panes, menu buttons whose menus carry the commands).
    void OnUpdate(uint32_t id, UpdateHandler update);
    // A command that takes a control's value. Sent without a value it is handled and does
    // nothing.
    void OnValue(uint32_t id, ValueHandler handler, UpdateHandler update = {});
    // Handler for every id in first..last (inclusive).
    void OnRange(uint32_t first, uint32_t last, RangeHandler handler, UpdateHandler update = {});

    bool Handles(uint32_t id) const;
    // Runs the handler; false when this target has none for id.
    bool Execute(uint32_t id, const CommandValue* value = nullptr) const;
    // Runs the update handler; false when this target does not handle id at all.
    bool Update(CommandUpdate& update) const;

private:
    struct Entry {
        uint32_t first;
        uint32_t last;
        RangeHandler handler;
        ValueHandler valueHandler;
        UpdateHandler update;
    };
    const Entry* Find(uint32_t id) const;
    std::vector<Entry> m_entries;  // later entries win
};

class CommandRouter : public QObject {
    Q_OBJECT
public:
    explicit CommandRouter(QObject* parent = nullptr);
    ~CommandRouter() override;

    // The router of the running program (the last one constructed); null before start-up.
    static CommandRouter* Instance();

    // Routing targets; any may be null. The active view changes when another pane is activated.
    void SetActiveView(const CommandHandlers* view);
    // The view that holds the picture: asked right after the active view, when it is another.
    void SetPictureView(const CommandHandlers* view);
    void SetDocument(const CommandHandlers* document);
    void SetFrame(const CommandHandlers* frame);
    void SetApplication(const CommandHandlers* application);
    const CommandHandlers* ActiveView() const { return m_view; }
    const CommandHandlers* PictureViewHandlers() const { return m_pictureView; }

    // Sends the command now; false when no target handles it (the command is then ignored).
    bool Execute(uint32_t id);
    // Sends the command with a control's value.
    bool Execute(uint32_t id, const CommandValue& value);
    // Queues the command to run on a later turn of the event loop on this thread.
    void Post(uint32_t id);
    // The state of a command as its update handlers see it now.
    CommandUpdate QueryUpdate(uint32_t id) const;

    // Runs an update pass: emits updatePass() so that every element refreshes its state.
    // The router runs one automatically each time the event loop is about to wait.
    void RunUpdatePass();
    void SetIdleUpdatesEnabled(bool enabled);

signals:
    // Every element that shows a command's state listens and calls QueryUpdate for its ids.
    void updatePass();

private:
    bool Dispatch(uint32_t id, const CommandValue* value);
    // The targets in routing order; null where a target is missing or asked already.
    std::array<const CommandHandlers*, 5> Route() const;
    void OnAboutToBlock();

    const CommandHandlers* m_view = nullptr;
    const CommandHandlers* m_pictureView = nullptr;
    const CommandHandlers* m_document = nullptr;
    const CommandHandlers* m_frame = nullptr;
    const CommandHandlers* m_application = nullptr;
    bool m_idleUpdates = true;
    bool m_inUpdatePass = false;
    bool m_updateQueued = false;
    QMetaObject::Connection m_idleConnection;
};

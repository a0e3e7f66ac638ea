// Command routing: numeric command ids go to the first target that handles them, in the
// order active view -> document -> frame -> application. Enable, check, radio and text
// states are pulled through update handlers on every idle pass of the event loop and
// whenever a menu opens. The router also keeps the registry of ribbon elements that other
// parts read back (the Contrast and Brightness sliders, the JPEG quality box).
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// What an update handler says about a command. A command without any handler in the route
// is disabled; a handled command without an update handler is enabled.
struct CommandUpdate {
    uint32_t id = 0;
    bool enabled = true;
    std::optional<bool> checked;   // check box / check mark
    std::optional<bool> radio;     // radio mark (menu items)
    std::optional<QString> text;   // new label text
};

// The handlers of one routing target (a view, the document, the frame, the application).
class CommandHandlers {
public:
    using Handler = std::function<void()>;
    using RangeHandler = std::function<void(uint32_t id)>;
    using UpdateHandler = std::function<void(CommandUpdate&)>;

    // Handler (and optional update handler) for one id; a later registration replaces it.
    void On(uint32_t id, Handler handler, UpdateHandler update = {});
    // Only an update handler (status panes, menu buttons whose menus carry the commands).
    void OnUpdate(uint32_t id, UpdateHandler update);
    // Handler for every id in first..last (inclusive).
    void OnRange(uint32_t first, uint32_t last, RangeHandler handler, UpdateHandler update = {});

    bool Handles(uint32_t id) const;
    // Runs the handler; false when this target has none for id.
    bool Execute(uint32_t id) const;
    // Runs the update handler; false when this target does not handle id at all.
    bool Update(CommandUpdate& update) const;

private:
    struct Entry {
        uint32_t first;
        uint32_t last;
        RangeHandler handler;
        UpdateHandler update;
    };
    const Entry* Find(uint32_t id) const;
    std::vector<Entry> m_entries;  // later entries win
};

// A ribbon slider as the handling parts see it.
class RibbonSliderElement {
public:
    virtual ~RibbonSliderElement() = default;
    virtual int Position() const = 0;
    virtual void SetPosition(int position, bool redraw) = 0;
    virtual bool IsElementVisible() const = 0;
};

// A ribbon edit box as the handling parts see it.
class RibbonEditElement {
public:
    virtual ~RibbonEditElement() = default;
    virtual QString EditText() const = 0;
    virtual void SetEditText(const QString& text) = 0;
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
    void SetDocument(const CommandHandlers* document);
    void SetFrame(const CommandHandlers* frame);
    void SetApplication(const CommandHandlers* application);
    const CommandHandlers* ActiveView() const { return m_view; }

    // Sends the command now; false when no target handles it (the command is then ignored).
    bool Execute(uint32_t id);
    // Queues the command to run on a later turn of the event loop on this thread.
    void Post(uint32_t id);
    // The state of a command as its update handlers see it now.
    CommandUpdate QueryUpdate(uint32_t id) const;

    // Runs an update pass: emits updatePass() so that every element refreshes its state.
    // The router runs one automatically each time the event loop is about to wait.
    void RunUpdatePass();
    void SetIdleUpdatesEnabled(bool enabled);

    // Ribbon element registry, filled by the ribbon; the first element registered for an id wins.
    void RegisterSlider(uint32_t id, RibbonSliderElement* slider);
    void RegisterEdit(uint32_t id, RibbonEditElement* edit);
    void UnregisterElement(uint32_t id);
    RibbonSliderElement* FindSlider(uint32_t id) const;
    RibbonEditElement* FindEdit(uint32_t id) const;

signals:
    // Every element that shows a command's state listens and calls QueryUpdate for its ids.
    void updatePass();

private:
    void OnAboutToBlock();

    const CommandHandlers* m_view = nullptr;
    const CommandHandlers* m_document = nullptr;
    const CommandHandlers* m_frame = nullptr;
    const CommandHandlers* m_application = nullptr;
    std::map<uint32_t, RibbonSliderElement*> m_sliders;
    std::map<uint32_t, RibbonEditElement*> m_edits;
    bool m_idleUpdates = true;
    bool m_inUpdatePass = false;
    bool m_updateQueued = false;
    QMetaObject::Connection m_idleConnection;
};

#include "ShellTestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QWidget>
#include <QPainter>

#include "app/MainWindow.h"
#include "platform/MessageService.h"
#include "platform/SettingsStore.h"

namespace shelltest {

QColor CellColour(int y, int index) {
    return QColor(40 + index * 6, y, 250 - index * 5);
}

bool MakeSyntheticAtlas(QImage& image) {
    image = QImage(480, 240, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(0, 0, 16, 16, CellColour(0, 0));
    painter.fillRect(64, 0, 45, 45, CellColour(0, 10));  // the application button
    for (const int y : {48, 96, 144}) {
        const int width = y == 48 ? 320 : 480;
        for (int i = 0; i * 16 < width; ++i) painter.fillRect(i * 16, y, 16, 16, CellColour(y, i));
    }
    for (const int y : {64, 112, 160}) {
        const int width = y == 64 ? 320 : 480;
        for (int i = 0; i * 32 < width; ++i) painter.fillRect(i * 32, y, 32, 32, CellColour(y, i));
    }
    painter.end();
    return true;
}

QColor IconCentre(const QIcon& icon, int size) {
    const QImage image = icon.pixmap(size, size).toImage();
    if (image.isNull()) return {};
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

namespace {
QString TextOf(Qt::Key key, Qt::KeyboardModifiers modifiers) {
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier)) return {};
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return QString(QChar(char16_t('a' + (key - Qt::Key_A))));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return QString(QChar(char16_t('0' + (key - Qt::Key_0))));
    return {};
}
}  // namespace

void KeyPress(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers, TextOf(key, modifiers));
    QApplication::sendEvent(target, &event);
}

void KeyRelease(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent event(QEvent::KeyRelease, key, modifiers, TextOf(key, modifiers));
    QApplication::sendEvent(target, &event);
}

void KeyClick(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    KeyPress(target, key, modifiers);
    KeyRelease(target, key, modifiers);
}

void TypeText(QWidget* target, const QString& text) {
    for (const QChar c : text) {
        const Qt::Key key = c.isDigit() ? Qt::Key(Qt::Key_0 + c.digitValue()) : Qt::Key(Qt::Key_A + (c.toLower().unicode() - 'a'));
        KeyClick(target, key);
    }
}

void ShellTest::SetUp() {
    ASSERT_TRUE(m_dir.isValid());
    SettingsStore::UseFolder(m_dir.path());
    MessageService::SetAnswerer([this](const QString& text, bool) {
        m_messages << text;
        return MessageAnswer::Ok;
    });
}

void ShellTest::TearDown() {
    MessageService::SetAnswerer({});
    SettingsStore::UseFolder(QString());
}

void ShellTest::ShowAtUsualSize(MainWindow* window) {
    window->resize(MainWindow::kInitialWidth, MainWindow::kInitialHeight);
    QApplication::processEvents();
}

std::unique_ptr<Application> ShellTest::Start(Application::StartupHooks hooks) {
    if (!hooks.loadAtlas) hooks.loadAtlas = MakeSyntheticAtlas;
    auto app = std::make_unique<Application>(std::move(hooks));
    app->Router().SetIdleUpdatesEnabled(false);  // tests run the update passes themselves
    if (!app->Start()) return app;
    // Until the frame has been painted and has finished its start.
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents();
    } while (app->Window() != nullptr && app->Window()->StartupPending() && clock.elapsed() < 5000);
    return app;
}

QString ShellTest::SettingsFileText() const {
    QFile file(m_dir.filePath(QStringLiteral("Norvane Snipwell.ini")));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

}  // namespace shelltest

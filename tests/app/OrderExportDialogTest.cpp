// The Export dialog driven to its end: the photos of a folder with a box are cut into the
// destination on worker threads, the summary names each one, and the next dialog starts with
// the choices of the last export.
#include "app/OrderExportDialog.h"

#include <filesystem>
#include <string>

#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "commands/CommandIds.h"

#include "platform/SettingsStore.h"

#include "image/metadata/CropSidecar.h"

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(OrderExportDialog, ExportsTheFoldersBoxesAndShowsTheSummary) {
    testsupport::TempDir dir;
    SettingsStore::UseFolder(QString::fromStdString((dir / "settings").string()));
    for (const char* name : {"a.jpg", "b.jpg"}) {
        RasterImage picture = testsupport::MakePatternImage(600, 400);
        ASSERT_TRUE(picture.Save((dir / name).c_str(), RASTER_FORMAT_JPG));
        KeptCrop box;
        box.ownFields = true;
        box.shape = 1;
        box.preset = cmd::ID_PRESET_6X4;
        box.border = cmd::ID_BORDER_NONE;
        box.placedWidth = 600;
        box.placedHeight = 400;
        ASSERT_TRUE(WriteSidecarCrop((dir / name).string(), box));
    }
    // A picture without a box is not part of the order.
    testsupport::MakePatternImage(60, 40).Save((dir / "c.jpg").c_str(), RASTER_FORMAT_JPG);

    OrderExportDialog dialog(QString::fromStdString(dir.path().string()), {}, 85, {});
    dialog.findChild<QLineEdit*>(QStringLiteral("destination"))
        ->setText(QString::fromStdString((dir / "out").string()));
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("example"))->text(), QStringLiteral("e.g. a-6x4.jpg"));
    const auto exportToTheEnd = [&dialog] {
        QEventLoop loop;
        QObject::connect(&dialog, &OrderExportDialog::exportEnded, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        dialog.findChild<QPushButton*>(QStringLiteral("export"))->click();
        loop.exec();
        EXPECT_FALSE(dialog.IsExporting());
        return dialog.findChild<QPlainTextEdit*>(QStringLiteral("summary"))->toPlainText().toStdString();
    };
    std::string summary = exportToTheEnd();
    const std::string written = (dir / "out" / "a-6x4.jpg").string();
    EXPECT_NE(summary.find("a.jpg -> " + written + ": 6.0 x 4.0 in (152 x 102 mm) at 100 dpi"), std::string::npos)
        << summary;
    EXPECT_NE(summary.find("Under 150 dpi: a.jpg (100 dpi), b.jpg (100 dpi)"), std::string::npos) << summary;
    EXPECT_NE(summary.find("2 written, 0 skipped, 0 not exported"), std::string::npos) << summary;

    // Again, "as the original": the names exist now, and the question is asked once for both.
    dialog.findChild<QSpinBox*>(QStringLiteral("quality"))->setValue(order::kQualityAsOriginal);
    int asked = 0;
    OrderExportDialog::SetExistingNamesChooser([&asked](const QStringList& existing) {
        asked += int(existing.size());
        return order::ExistingNames::Number;
    });
    summary = exportToTheEnd();
    OrderExportDialog::SetExistingNamesChooser({});
    EXPECT_EQ(asked, 2);
    EXPECT_NE(summary.find("b.jpg -> " + (dir / "out" / "b-6x4-2.jpg").string()), std::string::npos) << summary;
    EXPECT_TRUE(fs::exists(dir / "out" / "b-6x4.jpg"));

    OrderExportDialog next(QString::fromStdString(dir.path().string()), {}, 85, {});
    EXPECT_EQ(next.findChild<QLineEdit*>(QStringLiteral("destination"))->text().toStdString(), (dir / "out").string());
    EXPECT_EQ(next.findChild<QSpinBox*>(QStringLiteral("quality"))->value(), order::kQualityAsOriginal);
    SettingsStore::UseFolder(QString());
}

}  // namespace

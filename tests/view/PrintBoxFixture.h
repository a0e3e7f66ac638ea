// A routed picture view whose Print goes through a scripted dialog: the script sets up the
// printer (a PDF file, or the private CUPS queue) as a user would, and records the warning the
// dialog shows. Messages are collected, not failed.
#pragma once

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>

#include <functional>

#include "commands/CommandIds.h"
#include "platform/PicturePrinter.h"
#include "RoutedViewFixture.h"

class PrintFixture : public RoutedViewFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        RoutedViewFixture::SetUp();
    }
    void TearDown() override {
        PicturePrinter::SetScript({});
        RoutedViewFixture::TearDown();
    }
    MessageAnswer Answer(const QString& text) override {
        m_messages << text;
        return MessageAnswer::Ok;
    }

    void PastePicture(const QImage& picture) {
        QGuiApplication::clipboard()->setImage(picture);
        ASSERT_TRUE(m_router->Execute(cmd::ID_EDIT_PASTE));
        ASSERT_TRUE(m_view->Document()->WorkPicture().IsValid());
    }
    void PasteSolid(int width, int height, QRgb colour) {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(colour);
        PastePicture(picture);
    }
    // A solid photo file of that size, opened in the view.
    void OpenSolidPhoto(const QString& name, int width, int height, QRgb colour) {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(colour);
        const QString path = m_folder.filePath(name);
        ASSERT_TRUE(picture.save(path));
        m_view->LoadPicture(path);
        ASSERT_TRUE(m_view->CanEdit());
    }
    // Shows or hides the crop box, as its command does.
    void ShowBox(bool shown) {
        if (m_view->Box().m_showCropBox != shown) m_router->Execute(cmd::ID_HIDE_CROPBOX);
    }

    // Runs Print with the dialog scripted by setUp (which chooses the printer and its paper);
    // the dialog's warning is kept in m_warning.
    bool PrintWith(const std::function<void(QPrinter&)>& setUp) {
        PicturePrinter::SetScript([this, setUp](QPrinter& printer, const std::function<QString()>& warning) {
            setUp(printer);
            m_warning = warning();
            return true;
        });
        return m_router->Execute(cmd::ID_FILE_PRINT);
    }

    // Print to a PDF file on that paper with margins (inches) on every side, the paper upright
    // unless keepOrientation.
    bool PrintToPdf(const QString& pdf, QPageSize::PageSizeId paper, double margin, bool keepOrientation = false) {
        return PrintWith([&](QPrinter& printer) {
                   printer.setOutputFormat(QPrinter::PdfFormat);
                   printer.setOutputFileName(pdf);
                   printer.setPageSize(QPageSize(paper));
                   if (!keepOrientation) printer.setPageOrientation(QPageLayout::Portrait);
                   printer.setPageMargins(QMarginsF(margin, margin, margin, margin), QPageLayout::Inch);
               }) &&
               QFile::exists(pdf);
    }

    QTemporaryDir m_folder;
    QStringList m_messages;
    QString m_warning;
};

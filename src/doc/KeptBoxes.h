// Where each photo's box is kept: in its XMP sidecar, or for this session only when sidecars
// are turned off or the photo's folder cannot be written (a camera card). One store for the
// whole program, so the view, the browser's marks and the print order's export agree.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <mutex>
#include <optional>

#include "image/metadata/CropSidecar.h"

class KeptBoxes : public QObject {
    Q_OBJECT
public:
    // The program's store, made on first use (on the interface thread).
    static KeptBoxes& Instance();

    struct Found {
        std::optional<KeptCrop> crop;
        QString problem;  // why a sidecar that exists could not be read; empty otherwise
    };
    // The box kept for photo: this session's, else its sidecar's. Safe from any thread.
    Found Read(const QString& photo) const;
    // A box is kept for photo (this session's or its sidecar's); cheaper than Read when the
    // sidecar is absent. Safe from any thread.
    bool Has(const QString& photo) const;
    // Keeps crop for photo; empty when it went into the sidecar (or sidecars are off), else
    // the note to show: it is kept for this session only, and why.
    QString Keep(const QString& photo, const KeptCrop& crop);
    // The photo's box has been applied (saved over) or the photo is gone: the box leaves the
    // sidecar (the file too when nothing else is in it) and this session. Empty, or the note.
    QString Forget(const QString& photo);
    // The photo was deleted: its sidecar (NAME.EXT.xmp, named after it) goes with it.
    void Discard(const QString& photo);

    // Sidecars are written (the default) or boxes kept for the session only.
    bool SidecarsOn() const;
    void SetSidecarsOn(bool on);

signals:
    // A photo's box was kept or forgotten: its mark follows.
    void changed(const QString& photo);

private:
    KeptBoxes();

    mutable std::mutex m_mutex;
    QHash<QString, KeptCrop> m_session;  // boxes no sidecar holds
    bool m_sidecarsOn = true;
};

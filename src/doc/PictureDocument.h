// One open picture without a window: the working picture at full resolution, its undo
// history, the metadata kept beside it, the light values, its path and saved mark, and the
// crop box laid over the area a view shows it in. Load, Save and the picture commands change
// it; views follow its signals and keep only display copies. Many documents may be open at
// once, each shown by at most one view.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

#include "doc/CropBoxModel.h"
#include "doc/PictureHistory.h"
#include "image/PictureMetadata.h"
#include "image/RasterImage.h"

struct CutRequest;

// The outcome of Load or Save: the text to show when it failed.
struct FileOutcome {
    bool ok = false;
    QString error;
};

class PictureDocument : public QObject {
    Q_OBJECT
public:
    explicit PictureDocument(QObject* parent = nullptr);
    ~PictureDocument() override;

    // ---- files ------------------------------------------------------------------------------
    // Opens a picture file; an empty path, or a file that cannot be opened, leaves the
    // document empty.
    FileOutcome Load(const QString& path);
    // Writes the working picture with the light values to path (JPEG at that quality); on
    // success path becomes the document's path and the picture counts as saved.
    FileOutcome Save(const QString& path, int jpegQuality);

    const QString& Path() const { return m_path; }
    // The name the picture is saved under ("Untitled" for a pasted one).
    QString PictureName() const;
    // The working picture differs from the file it came from (or was never saved).
    bool IsModified() const;
    // "*" while the picture is modified, else empty: put before its name.
    QString ModifiedMark() const { return IsModified() ? QStringLiteral("*") : QString(); }
    // What was wrong with the picture file, when it was damaged but still loaded; empty for a
    // sound file and after another picture is opened or pasted.
    const QString& DamageNote() const { return m_damage; }
    // The metadata kept beside the working picture (EXIF, XMP, IPTC, colour profile): what
    // the file held, written back by Save; empty for a pasted picture.
    const PictureMetadata& Metadata() const;
    // Set when a metadata block could not be read or written and was left out; cleared when
    // another picture is opened or pasted.
    bool MetadataDropped() const { return m_metadataDropped; }
    // What the picture's file holds besides the picture shown (RASTER_HEIF_EXTRA_ flags: deeper
    // samples, a depth map, auxiliary or further pictures), which saving over it leaves out;
    // none once it has been saved.
    uint32_t ExtrasLostBySave() const { return m_extrasLostBySave; }
    const RasterImage& WorkPicture() const { return m_working; }

    // ---- picture commands ---------------------------------------------------------------------
    // A turn, Mirror, Flip, a tone, or a light slider (which only refreshes the layout).
    void RunPictureCommand(uint32_t id);
    // Boxes narrower or lower than this (view area pixels) are not cut.
    static constexpr int kMinimumCutSpan = 64;
    // The Cut command; true when the working picture was replaced by the cut.
    bool CutToCropBox();
    // The Alpha Picture Cutter's result replaces the working picture.
    void TakeExternalCut(RasterImage& result);
    // A picture from the clipboard (24 bits) replaces the working picture; it has no path and
    // no metadata.
    void TakePasted(RasterImage& pasted);
    // Undo and Redo of the last step that changed the working picture; the crop box returns
    // with the picture. False when there was nothing to undo or redo.
    bool UndoPicture();
    bool RedoPicture();
    const PictureHistory& History() const { return m_history; }

    // ---- light values -------------------------------------------------------------------------
    // The light sliders' neutral position: a value is the position minus this.
    static constexpr int kLightSliderNeutral = 100;
    // A slider position (clamped to 0..200) as a light value -100..100.
    static int LightValueOfPosition(int position);
    int Contrast() const { return m_contrast; }
    int Brightness() const { return m_brightness; }
    // A slider moved: its id (contrast or brightness) and position; the view copies follow.
    void SetLightSlider(uint32_t id, int position);
    // A copy of the working picture with the light values in it, as Save, Copy and Print
    // write it; false when it could not be made (memory).
    bool MakeLitCopy(RasterImage& copy) const;
    // Applies (brightness, contrast) to picture when either is not 0.
    static void ApplyLightValues(RasterImage& picture, int contrast, int brightness);

    // ---- crop box ------------------------------------------------------------------------------
    cropbox::CropBoxModel& Box() { return m_box; }
    const cropbox::CropBoxModel& Box() const { return m_box; }
    // The client area of the view that shows the document: the box lives in its pixels. A new
    // area lays the picture out again and re-places the box.
    void SetViewArea(cropbox::Size area);
    cropbox::Size ViewArea() const { return m_area; }
    // The size of the picture fitted into the view area; empty when nothing is shown.
    cropbox::Size ViewSize() const { return m_viewSize; }
    // A working picture, fitted into a view area that shows it.
    bool PicturesValid() const;
    // The box's default place for the preset, over the fitted picture.
    void PlaceCropBox();
    // The crop box in working-picture pixels, as Cut maps it; empty without pictures or box.
    cropbox::Rect BoxInPicture() const;

signals:
    // The working picture or its layout changed: the view copies must be made again.
    // withLightPreview: they show the light values (a cut's result does not until the next
    // picture command).
    void laidOut(bool withLightPreview);

private:
    CutRequest CurrentCutRequest() const;
    PictureState CaptureState() const;
    void RestoreState(const PictureState& state);
    // Empties everything that belongs to one picture.
    void Clear();
    // Fits the picture into the view area and re-places the box.
    void LayOut();
    // Replaces the working picture with replacement, as one step of the history.
    void ReplaceWorkingPicture(RasterImage& replacement, const PictureState& before);
    // Takes a step back or forth: applies change (or swaps the kept picture) and swaps states.
    bool SwapStep(PictureHistory::Step& step, PictureHistory::Change change);
    // The print size of the crop box's preset as the cut picture's dpi; the Free preset and
    // the Ext Cutter keep the source's.
    void SetCutDpi(RasterImage& result, bool byPreset) const;
    // A cut's result becomes the working picture.
    void TakeCut(RasterImage& result, bool byPreset, const PictureState& before);

    QString m_path;
    QString m_damage;
    std::shared_ptr<const PictureMetadata> m_metadata;
    bool m_metadataDropped = false;
    uint32_t m_extrasLostBySave = 0;
    RasterImage m_working;
    PictureHistory m_history;
    uint64_t m_savedPosition = 0;  // the history's position of the picture on disk
    int m_contrast = 0;            // light values, -100..100
    int m_brightness = 0;
    cropbox::CropBoxModel m_box;
    cropbox::Size m_area;      // see ViewArea
    cropbox::Size m_viewSize;  // see ViewSize
};

// One open picture without a window: the working picture at full resolution, its undo
// history, the metadata kept beside it, the light values, its path and saved mark, and the
// crop box laid over the area a view shows it in. Load, Save and the picture commands change
// it; views follow its signals and keep only display copies. Many documents may be open at
// once, each shown by at most one view.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "doc/BackgroundJob.h"
#include "doc/CropBoxModel.h"
#include "doc/LosslessPlan.h"
#include "doc/PictureHistory.h"
#include "doc/PictureLoader.h"
#include "image/PictureMetadata.h"
#include "image/RasterImage.h"
#include "image/metadata/CropSidecar.h"

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
    // document empty. A large JPEG photo is shown from a reduced decode first while the full
    // picture decodes on a worker (the document is busy meanwhile); should that decode fail,
    // loadFailed follows and the document is empty again.
    FileOutcome Load(const QString& path);
    // The same for a photo already decoded (ahead of the step that shows it).
    FileOutcome LoadOpened(const QString& path, OpenedPicture& opened);
    // Writes the working picture with the light values to path (JPEG at that quality); on
    // success path becomes the document's path and the picture counts as saved.
    // trimForLossless: the answer to TrimQuestion, a JPEG written without the partial edge
    // blocks a turn brought to the front rather than encoded again. The working picture then
    // leaves those pixels out as well, in a step of the history that Undo takes back.
    FileOutcome Save(const QString& path, int jpegQuality, bool trimForLossless = false);
    // The question to ask before a JPEG save to path that is lossless only without a few edge
    // pixels (a turn of a picture whose sides are not whole blocks); empty when there is none.
    QString TrimQuestion(const QString& path) const;

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
    // The working picture at full resolution: invalid while a long operation holds it and while
    // the full decode of a previewed photo runs.
    const RasterImage& WorkPicture() const { return m_working; }
    // What a view shows: the working picture, or the reduced preview while the full one decodes.
    const RasterImage& ShownPicture() const { return m_working.IsValid() ? m_working : m_preview; }
    // The working picture's size, also while a long operation holds it or it is still decoding
    // (the file's headers give it): the crop box and the status texts use it from the start.
    cropbox::Size PictureSize() const;
    // A picture is open, whether or not its pixels are at hand.
    bool HasPicture() const { return PictureSize().width > 0; }

    // ---- long operations ----------------------------------------------------------------------
    // Pictures of more pixels than this are cut, turned, toned and saved on a worker thread, and
    // JPEG photos this large are previewed while they decode. The event loop keeps turning
    // meanwhile; the picture commands are disabled and the document's entries wait for the
    // operation to end first.
    static constexpr uint64_t kBackgroundPixels = 20'000'000;
    void SetBackgroundPixels(uint64_t pixels) { m_backgroundPixels = pixels; }
    // The device pixels the view shows the picture in at most: a preview is at least as large.
    void SetPreviewBound(cropbox::Size devicePixels) { m_previewBound = devicePixels; }
    // A long operation or a full decode is running.
    bool IsBusy() const { return m_job.IsRunning() || m_loader.IsLoading(); }
    // What runs, for the status bar ("Cutting…"); empty when nothing does.
    const QString& BusyText() const { return m_busyText; }
    // Waits for the running operation or decode and takes its result now.
    void FinishJob();

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

    // ---- the photo's kept box ------------------------------------------------------------------
    // A photo keeps the box placed on it (KeptBoxes): opening it shows that box with its shape,
    // print size and border, in place of the default one.
    // The user changed the box (moved, sized, turned, its shape, print size or border): it is
    // kept for the photo, at once when settled (a drag ended, a choice), else a moment after the
    // last of a run of small steps (the wheel, the arrow keys).
    void KeepBox(bool settled);
    // Keeps a box change that still waits for its moment now.
    void FlushKeptBox();
    // The photo shown has a box of its own (kept, or restored from its sidecar).
    bool HasKeptBox() const { return m_kept.has_value(); }
    // What to say about the photo's kept box: it could not be read or kept, or the photo has
    // changed since the box was placed. Empty when all is well.
    const QString& BoxNote() const { return m_boxNote; }
    // The photo's box was given from outside (Apply to Selected): it is read again and shown.
    void ReloadKeptBox();

    // ---- lossless JPEG saves -------------------------------------------------------------------
    // Whether the picture can be saved to JPEG by moving its file's DCT blocks (a photo opened
    // from a JPEG with only rectangle cuts, quarter turns, mirror and flip since, and neutral
    // light values): Save then writes it so, never decoding and encoding its pixels.
    bool NextJpegSaveLossless() const;
    // What the status bar says about the next JPEG save: of a changed photo, or of the cut of
    // the box laid on an unchanged one; empty when the picture did not come from a JPEG.
    QString NextJpegSaveNote() const;
    const LosslessPlan& Lossless() const { return m_lossless; }
    // Whether a rectangle box on such a photo has the corner that comes first in the file on
    // the JPEG's block grid (the "Lossless" toggle), so that its cut saves without loss. The
    // choice is kept across runs; a new document starts with the last one.
    void SetSnapToBlocks(bool snap);
    bool SnapsToBlocks() const { return m_snapToBlocks; }
    // The box as it is drawn and cut, in client pixels: its corner on the block grid while it
    // snaps (the box itself follows the mouse freely), else the box itself.
    cropbox::Rect ShownBox() const;

    // ---- straighten ----------------------------------------------------------------------------
    // The turn the picture is shown and cut with: degrees, positive anticlockwise, -45 .. 45 in
    // steps of 0.1. It returns with the crop box's state on Undo; a cut takes it into its pixels.
    double StraightenDegrees() const { return m_straighten; }
    // Turns the shown picture; the crop box keeps its ratio and shrinks about its centre while
    // it would leave the turned picture.
    void SetStraightenDegrees(double degrees);
    // Turns the shown picture further, so that the line from `from` to `to` (view area pixels,
    // drawn over the picture as shown) becomes level or plumb; false for a line without length.
    bool StraightenAlongLine(cropbox::Point from, cropbox::Point to);
    // One mouse move of a drag of the crop box (CropBoxModel::DragStep); on a turned picture
    // the box goes no further than the turned picture's edge. True when the box changed.
    bool DragBox(cropbox::Point point);

private:
    // Shrinks the crop box into the turned picture (see SetStraightenDegrees).
    void FitBoxToStraighten();
    bool BoxInsideStraighten() const;
    double m_straighten = 0.0;

signals:
    // The working picture or its layout changed: the view copies must be made again.
    // withLightPreview: they show the light values (a cut's result does not until the next
    // picture command).
    void laidOut(bool withLightPreview);
    // A long operation or a full decode started (true) or ended (false).
    void busyChanged(bool busy);
    // The full decode of a previewed photo failed: the document is empty again.
    void loadFailed(const QString& error);

private:
    // Runs work on the worker when the working picture is large (the event loop turning until
    // it ends), else right here; finish then runs on this thread either way.
    void RunJob(const QString& text, std::function<void()> work, std::function<void()> finish);
    // Hands the working picture to a long operation; PictureSize still gives its size.
    void LendWorkingPicture(RasterImage& to);
    // The operation gives the working picture back.
    void ReturnWorkingPicture(RasterImage& from);
    // Writes picture with the light values in a copy (none when they are neutral).
    static bool WriteLitPicture(RasterImage& picture, int contrast, int brightness, const char* path, uint32_t type,
                                int jpegQuality, PictureMetadata& metadata);
    // Drops the full decode of a previewed photo, when one runs.
    void StopLoading();
    // An opened picture becomes the document's.
    void TakeOpened(const QString& path, OpenedPicture& opened);
    // A previewed photo's full picture arrived (or failed to).
    void TakeFullDecode(OpenedPicture& opened);
    // Records a command's step: a geometric change, or a tone with the picture it replaced.
    void RecordCommand(std::optional<PictureHistory::Change> change, RasterImage& kept, const PictureState& before);
    CutRequest CurrentCutRequest() const;
    PictureState CaptureState() const;
    void RestoreState(const PictureState& state);
    // Empties everything that belongs to one picture.
    void Clear();
    // Reads the box kept for the opened photo and takes its choices.
    void RestoreKeptBox(int orientation);
    // Lays the kept box over the view; false when there is none to lay (the default is placed).
    bool LayKeptBox();
    // The box is kept for the picture on disk only: after an edit it no longer matches it.
    bool BoxKeepable() const;
    // The plan follows a geometric step, or ends with any other change.
    void FollowInLosslessPlan(std::optional<PictureHistory::Change> change);
    // The plan follows a cut: a plain rectangle inside the picture, else it ends.
    void FollowCutInLosslessPlan(const CutRequest& request);
    // Writes the picture to path by moving the blocks of the file it came from; false (and
    // nothing written) when that cannot be done, so that Save encodes instead. trim: without
    // the partial edge blocks a turn brought to the front.
    static bool WriteLossless(const QString& source, const LosslessPlan& plan, bool trim, const RasterImage& picture,
                              const QString& path, PictureMetadata& metadata);
    // Lossless but for a trim of partial edge blocks (NextJpegSaveLossless's other case).
    bool LosslessAfterTrim() const;
    // The picture was written to path: over its own file the box has been applied and leaves
    // the sidecar; a copy elsewhere leaves the photo's box as it is.
    void KeepSavedBox(const QString& path);
    // Fits the picture into the view area and re-places the box.
    void LayOut();
    // Replaces the working picture with replacement, as one step of the history.
    void ReplaceWorkingPicture(RasterImage& replacement, const PictureState& before);
    // Takes a step back (undo) or forth: applies change (or swaps the kept picture), swaps
    // states and puts the step on the other stack.
    bool SwapStep(PictureHistory::Step step, PictureHistory::Change change, bool undo);
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
    RasterImage m_preview;         // see ShownPicture
    cropbox::Size m_standInSize;   // the picture's size while its pixels are lent or decoding
    PictureHistory m_history;
    uint64_t m_savedPosition = 0;  // the history's position of the picture on disk
    int m_contrast = 0;            // light values, -100..100
    int m_brightness = 0;
    cropbox::CropBoxModel m_box;
    cropbox::Size m_area;      // see ViewArea
    cropbox::Size m_viewSize;  // see ViewSize
    cropbox::Size m_previewBound;
    uint64_t m_backgroundPixels = kBackgroundPixels;
    QString m_busyText;
    PictureLoader m_loader;
    BackgroundJob m_job;
    LosslessPlan m_lossless;
    bool m_snapToBlocks = true;
    // The box in picture pixels with its corner on the block grid, when the box snaps.
    std::optional<cropbox::Rect> SnappedBox(const CutRequest& request) const;
    QString CutSaveNote() const;
    std::optional<KeptCrop> m_kept;  // the photo's box, in its stored picture's fractions
    int m_orientation = 1;           // the EXIF orientation the picture was turned upright by
    QString m_boxNote;
    QTimer m_keepTimer;              // single shot: a run of small box steps has ended
};

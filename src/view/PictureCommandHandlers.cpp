#include "view/PictureCommandHandlers.h"

#include "commands/CommandIds.h"
#include "doc/CropBoxChoices.h"
#include "platform/SettingsStore.h"
#include "commands/SettingsKeys.h"
#include "platform/WaitCursor.h"
#include "view/PictureView.h"

namespace {

constexpr const char* kCutText = "Cut";

// The box's choices: shape, preset, border, its rotation and whether it is shown.
void RegisterBoxChoices(PictureView& view, CommandHandlers& h) {
    const auto box = [&view]() -> cropbox::CropBoxModel& { return view.Document()->Box(); };
    const auto boxShown = [&view, box] { return view.PicturesValid() && !box().m_crop.IsEmpty(); };
    for (int shape = cropbox::kShapeRectangle; shape <= cropbox::kShapeOval; ++shape) {
        h.On(
            cmd::ID_SHAPE_RECTANGLE + uint32_t(shape - cropbox::kShapeRectangle),
            [&view, box, shape] {
                box().m_shape = shape;
                cropbox::StoreChoices(box());
                view.Document()->KeepBox(true);
                view.Repaint();
            },
            [box, shape](CommandUpdate& u) { u.checked = box().m_shape == shape; });
    }
    h.On(
        cmd::ID_SNAP_TO_BLOCKS,
        [&view] {
            view.Document()->SetSnapToBlocks(!view.Document()->SnapsToBlocks());
            view.Document()->KeepBox(true);
            view.Repaint();
        },
        [&view](CommandUpdate& u) { u.checked = view.Document()->SnapsToBlocks(); });
    h.OnRange(
        cmd::ID_PRESET_FIRST, cmd::ID_PRESET_LAST,
        [&view, box, boxShown](uint32_t id) {
            box().m_presetId = id;
            cropbox::StoreChoices(box());
            if (!boxShown()) return;
            view.Document()->PlaceCropBox();
            view.Document()->KeepBox(true);
            view.Repaint();
        },
        [box](CommandUpdate& u) { u.checked = u.id == box().m_presetId; });
    h.On(cmd::ID_CROPBOX, [] {}, [box](CommandUpdate& u) {
        const cropbox::PrintSizePreset* preset = cropbox::FindPreset(box().m_presetId);
        u.text = QString::fromLatin1(preset != nullptr ? preset->name : "Free");
    });
    h.OnRange(
        cmd::ID_BORDER_NONE, cmd::ID_BORDER_LAST,
        [&view, box, boxShown](uint32_t id) {
            box().m_borderId = id;
            cropbox::StoreChoices(box());
            view.Document()->KeepBox(true);
            if (boxShown()) view.Repaint();
        },
        [box](CommandUpdate& u) { u.checked = u.id == box().m_borderId; });
    h.On(cmd::ID_BORDER, [] {}, [box](CommandUpdate& u) {
        u.text = QString::fromStdString(cropbox::BorderLabel(box().m_borderId));
    });

    const auto rotateEnabled = [box, boxShown] {
        return boxShown() && box().m_showCropBox && box().m_presetId != cmd::ID_PRESET_FREE;
    };
    h.On(
        cmd::ID_ROTATE_CROPBOX,
        [&view, box, rotateEnabled] {
            if (!rotateEnabled()) return;
            box().m_rotated = !box().m_rotated;
            cropbox::StoreChoices(box());
            view.Document()->PlaceCropBox();
            view.Document()->KeepBox(true);
            view.Repaint();
        },
        [box, rotateEnabled](CommandUpdate& u) {
            u.checked = box().m_rotated;
            u.enabled = rotateEnabled();
        });
    h.On(
        cmd::ID_HIDE_CROPBOX,
        [&view, box] {
            box().m_showCropBox = !box().m_showCropBox;
            view.Repaint();
        },
        [box](CommandUpdate& u) { u.checked = !box().m_showCropBox; });
    h.On(
        cmd::ID_AUTO_SHOW_CROPBOX,
        [box] {
            box().m_autoHide = !box().m_autoHide;
            SettingsStore::WriteInt(settings::kSection, settings::kAutoHideCropbox, box().m_autoHide ? 1 : 0);
        },
        [box](CommandUpdate& u) { u.checked = box().m_autoHide; });
}

}  // namespace

void RegisterPictureCommands(PictureView& view, CommandHandlers& h) {
    RegisterBoxChoices(view, h);
    h.On(
        cmd::ID_CUT,
        [&view] {
            WaitCursor wait;
            view.Document()->CutToCropBox();
        },
        [&view](CommandUpdate& u) {
            u.text = QString::fromLatin1(kCutText);
            u.enabled = view.Document()->Box().CutEnabled(view.CanEdit());
        });

    const auto canEdit = [&view](CommandUpdate& u) { u.enabled = view.CanEdit(); };
    for (uint32_t id : {cmd::ID_ROTATE_LEFT, cmd::ID_ROTATE_RIGHT, cmd::ID_MIRROR, cmd::ID_FLIP, cmd::ID_COOL_TONE,
                        cmd::ID_WARM_TONE, cmd::ID_SEPIA}) {
        h.On(
            id,
            [&view, id] {
                WaitCursor wait;
                view.Document()->RunPictureCommand(id);
            },
            canEdit);
    }
    // The light values are the document's; the sliders show them as positions 0..200.
    for (uint32_t id : {cmd::ID_CONTRAST, cmd::ID_BRIGHTNESS}) {
        h.OnValue(
            id,
            [&view, id](const CommandValue& position) {
                WaitCursor wait;
                PictureDocument& document = *view.Document();
                const int* p = std::get_if<int>(&position);
                const int current = id == cmd::ID_CONTRAST ? document.Contrast() : document.Brightness();
                document.SetLightSlider(id, p != nullptr ? *p : current + PictureDocument::kLightSliderNeutral);
            },
            [&view, id](CommandUpdate& u) {
                const PictureDocument& document = *view.Document();
                u.enabled = view.CanEdit();
                u.value = (id == cmd::ID_CONTRAST ? document.Contrast() : document.Brightness()) +
                          PictureDocument::kLightSliderNeutral;
            });
    }
    h.On(
        cmd::ID_EDIT_UNDO,
        [&view] {
            WaitCursor wait;
            view.Document()->UndoPicture();
        },
        [&view](CommandUpdate& u) { u.enabled = !view.Document()->IsBusy() && view.Document()->History().CanUndo(); });
    h.On(
        cmd::ID_EDIT_REDO,
        [&view] {
            WaitCursor wait;
            view.Document()->RedoPicture();
        },
        [&view](CommandUpdate& u) { u.enabled = !view.Document()->IsBusy() && view.Document()->History().CanRedo(); });
}

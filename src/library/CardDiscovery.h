#pragma once
// Finding the camera's card among the removable volumes, choosing the selected card and the
// record folder at start-up, and the rules for a card arriving, a card removed and a card
// chosen from the drive menu. A "drive letter" is a volume's mount root here.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/ViewerSettings.h"
#include "platform/VolumeProvider.h"

namespace kx {

inline constexpr const char* kRecordFolderName = "Record";
inline constexpr const char* kOtherModelSetupFile = "setup.cfg";
// Bytes of setup.cfg read to tell the other camera models.
inline constexpr std::size_t kSetupHeaderBytes = 32;

// Card forms: the recordings in <root>/KX-TMQ4/Record, or (another model) in the root.
inline constexpr int kCardFormNone = -1;
inline constexpr int kCardFormFolder = 0;
inline constexpr int kCardFormRoot = 1;

// Card change actions (wParam of the card change message).
inline constexpr int kCardActionNothing = 0;
inline constexpr int kCardActionSelectFolder = 1;      // unless it is already in use
inline constexpr int kCardActionSelectAndRefresh = 2;  // and refresh the tool bar
inline constexpr int kCardActionRefresh = 3;           // only refresh the tool bar

// The form a volume is recognised as, kCardFormNone when it is not a card.
int RecognizeCard(const std::filesystem::path& root);
// <root>/KX-TMQ4/Record for form 0, the root itself for form 1.
std::filesystem::path CardRecordFolder(const std::filesystem::path& root, int form);
// Form of a card for the card change message: 0 when its card folder exists, else 1.
int CardFormOfRoot(const std::filesystem::path& root);
// Whether the folder lies on the volume (the folder is the root or inside it).
bool IsOnVolume(const std::filesystem::path& folder, const std::filesystem::path& root);

// One card change message: action and form.
struct CardChange {
    int action = kCardActionNothing;
    int form = kCardFormRoot;
};

// What the main view does with a card change message.
struct CardChangeSteps {
    std::optional<std::filesystem::path> recordFolder;  // the new record folder, if it changes
    bool resetAndRescan = false;  // stop and clear the player, clear the file name, rescan
    bool refreshToolBar = false;  // and close an open About box
};
CardChangeSteps PlanCardChange(int action, const std::filesystem::path& selectedCard, int form,
                               const std::filesystem::path& recordFolder);

// The card list and the selected card, kept for the whole run.
class CardDiscovery {
  public:
    explicit CardDiscovery(const VolumeProvider& volumes) : volumes_(volumes) {}

    // Rebuilds the card list in the volumes' order. form receives the form of the first card
    // found when it is still kCardFormNone, and is left alone when none is found.
    bool SearchCards(int& form);

    // The start-up choice: the first card's record folder, else browseFolder() ("filepath" or
    // the video folder). Returns the record folder.
    std::filesystem::path ChooseAtStartUp(
        const std::function<std::filesystem::path()>& browseFolder);

    // The rules for a device removal and arrival. recordFolder is the folder in use and may be
    // replaced. Empty when no message is sent.
    std::optional<CardChange> OnRemoval(std::filesystem::path& recordFolder,
                                        const std::function<std::filesystem::path()>& browseFolder);
    std::optional<CardChange> OnArrival(const std::filesystem::path& recordFolder);

    // The drive menu: card i of the list chosen. Empty when i is not in the list.
    std::optional<CardChange> ChooseCard(std::size_t index);

    const std::vector<std::filesystem::path>& cards() const { return cards_; }
    // Empty when no card is selected.
    const std::filesystem::path& selectedCard() const { return selected_; }
    void SetSelectedCard(std::filesystem::path root) { selected_ = std::move(root); }

  private:
    bool IsOnCard(const std::filesystem::path& folder) const;
    CardChange Message(int action) const { return {action, CardFormOfRoot(selected_)}; }

    const VolumeProvider& volumes_;
    std::vector<std::filesystem::path> cards_;
    std::filesystem::path selected_;
};

// The viewer's removable volumes (KX_VOLUMES folders, else the mount table) and its one card
// state over them, for the whole run.
const VolumeProvider& ViewerVolumes();
CardDiscovery& ViewerCards();

// The start-up step of ViewerSettings::Load: pass it as Load's cardSearch.
std::function<void(ViewerSettings&)> StartUpCardSearch(CardDiscovery& discovery);

}  // namespace kx

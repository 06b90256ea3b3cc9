#include "library/CardDiscovery.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/MountTable.h"

namespace kx {
namespace {

constexpr const char* kOtherModelCodes[] = {"QT8800S", "QT350"};

bool IsDirectory(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

bool HasOtherModelSetup(const std::filesystem::path& root) {
    UniqueFile file = OpenFile(root / kOtherModelSetupFile, "rb");
    if (!file) return false;
    char header[kSetupHeaderBytes] = {};
    const std::size_t got = std::fread(header, 1, sizeof header, file.get());
    for (const char* code : kOtherModelCodes) {
        const std::size_t length = std::strlen(code);
        if (got >= length && std::memcmp(header, code, length) == 0) return true;
    }
    return false;
}

}  // namespace

int RecognizeCard(const std::filesystem::path& root) {
    if (IsDirectory(root / kCardFolderPrefix)) return kCardFormFolder;
    if (HasOtherModelSetup(root)) return kCardFormRoot;
    return kCardFormNone;
}

std::filesystem::path CardRecordFolder(const std::filesystem::path& root, int form) {
    if (form == kCardFormFolder) return root / kCardFolderPrefix / kRecordFolderName;
    return root;
}

int CardFormOfRoot(const std::filesystem::path& root) {
    return !root.empty() && IsDirectory(root / kCardFolderPrefix) ? kCardFormFolder : kCardFormRoot;
}

bool IsOnVolume(const std::filesystem::path& folder, const std::filesystem::path& root) {
    return !folder.empty() && !root.empty() &&
           PathIsWithin(folder.lexically_normal(), root.lexically_normal());
}

CardChangeSteps PlanCardChange(int action, const std::filesystem::path& selectedCard, int form,
                               const std::filesystem::path& recordFolder) {
    CardChangeSteps steps;
    if (action == kCardActionSelectFolder || action == kCardActionSelectAndRefresh) {
        bool stop = false;
        if (!selectedCard.empty()) {
            std::filesystem::path cardFolder = CardRecordFolder(selectedCard, form);
            if (action == kCardActionSelectFolder &&
                cardFolder.lexically_normal() == recordFolder.lexically_normal())
                stop = true;
            else
                steps.recordFolder = cardFolder;
        }
        if (stop) return steps;
        steps.resetAndRescan = true;
    }
    steps.refreshToolBar = action == kCardActionSelectAndRefresh || action == kCardActionRefresh;
    return steps;
}

bool CardDiscovery::SearchCards(int& form) {
    cards_.clear();
    for (const Volume& volume : volumes_.List()) {
        int found = RecognizeCard(volume.root);
        if (found == kCardFormNone) continue;
        cards_.push_back(volume.root);
        if (form == kCardFormNone) form = found;
    }
    return !cards_.empty();
}

bool CardDiscovery::IsOnCard(const std::filesystem::path& folder) const {
    return std::any_of(cards_.begin(), cards_.end(),
                       [&](const std::filesystem::path& card) { return IsOnVolume(folder, card); });
}

std::filesystem::path CardDiscovery::ChooseAtStartUp(
    const std::function<std::filesystem::path()>& browseFolder) {
    int form = kCardFormNone;
    if (SearchCards(form)) {
        selected_ = cards_.front();
        return CardRecordFolder(selected_, form);
    }
    return browseFolder ? browseFolder() : std::filesystem::path{};
}

std::optional<CardChange> CardDiscovery::OnRemoval(
    std::filesystem::path& recordFolder,
    const std::function<std::filesystem::path()>& browseFolder) {
    const bool wasOnCard = IsOnCard(recordFolder);
    int form = kCardFormNone;
    const int action = wasOnCard ? kCardActionSelectAndRefresh : kCardActionRefresh;
    if (!SearchCards(form)) {
        if (wasOnCard && browseFolder) recordFolder = browseFolder();
        selected_.clear();
        return Message(action);
    }
    if (std::find(cards_.begin(), cards_.end(), selected_) != cards_.end())
        return Message(kCardActionRefresh);
    selected_ = cards_.front();
    return Message(action);
}

std::optional<CardChange> CardDiscovery::OnArrival(const std::filesystem::path& recordFolder) {
    const std::vector<std::filesystem::path> before = cards_;
    const bool wasOnCard = IsOnCard(recordFolder);
    int form = kCardFormNone;
    if (!SearchCards(form) || wasOnCard) return std::nullopt;
    for (std::size_t i = 0; i < cards_.size(); ++i) {
        if (i >= before.size() || cards_[i] != before[i]) {
            selected_ = cards_[i];
            break;
        }
    }
    return Message(kCardActionSelectAndRefresh);
}

std::optional<CardChange> CardDiscovery::ChooseCard(std::size_t index) {
    if (index >= cards_.size()) return std::nullopt;
    CardChange change;
    if (cards_[index] != selected_) {
        selected_ = cards_[index];
        change.action = kCardActionSelectAndRefresh;
    } else {
        change.action = kCardActionSelectFolder;
    }
    change.form = IsDirectory(selected_ / kCardFolderPrefix / kRecordFolderName) ? kCardFormFolder
                                                                                 : kCardFormRoot;
    return change;
}

const VolumeProvider& ViewerVolumes() {
    static const std::unique_ptr<VolumeProvider> volumes = MakeVolumeProvider();
    return *volumes;
}

CardDiscovery& ViewerCards() {
    static CardDiscovery cards(ViewerVolumes());
    return cards;
}

std::function<void(ViewerSettings&)> StartUpCardSearch(CardDiscovery& discovery) {
    return [&discovery](ViewerSettings& settings) {
        settings.SetRecordFolder(
            discovery.ChooseAtStartUp([&settings] { return settings.BrowseFolder(); }));
    };
}

}  // namespace kx

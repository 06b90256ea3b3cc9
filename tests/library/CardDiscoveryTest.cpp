#include "library/CardDiscovery.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "app/ViewerSettings.h"
#include "library/MountWatcher.h"
#include "platform/VolumeProvider.h"
#include "support/TempDir.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

class CardDiscoveryTest : public testing::Test {
  protected:
    fs::path Volume(const std::string& name) const { return dir_ / name; }
    // A card of this camera: its card folder with the Record folder.
    fs::path InsertCard(const std::string& name) {
        fs::create_directories(Volume(name) / "KX-TMQ4" / "Record");
        return Volume(name);
    }
    fs::path InsertStick(const std::string& name) {
        fs::create_directories(Volume(name) / "DCIM");
        return Volume(name);
    }
    void Remove(const std::string& name) { fs::remove_all(Volume(name)); }
    // The machine's removable volumes, in this order, whichever of them exist.
    FolderVolumeProvider Volumes(const std::vector<std::string>& names) const {
        std::vector<fs::path> folders;
        for (const std::string& name : names) folders.push_back(Volume(name));
        return FolderVolumeProvider(folders);
    }
    fs::path BrowseFolder() const { return dir_ / "browse"; }

    test::TempDir dir_;
};

TEST_F(CardDiscoveryTest, SearchRecognisesBothFormsAndNothingElse) {
    InsertStick("stick");
    InsertCard("card");
    fs::create_directories(Volume("qt8800"));
    test::WriteFileBytes(Volume("qt8800") / "setup.cfg",
                         std::string("QT8800S-1.2") + '\0' + "rest");
    fs::create_directories(Volume("short"));
    test::WriteFileBytes(Volume("short") / "setup.cfg", "QT35");
    fs::create_directories(Volume("qt350"));
    test::WriteFileBytes(Volume("qt350") / "setup.cfg", "QT350");
    fs::create_directories(Volume("other"));
    test::WriteFileBytes(Volume("other") / "setup.cfg", "QT8800X and more text");
    fs::create_directories(Volume("file"));
    test::WriteFileBytes(Volume("file") / "KX-TMQ4", "not a folder");

    FolderVolumeProvider volumes =
        Volumes({"stick", "qt8800", "short", "card", "qt350", "other", "file", "absent"});
    CardDiscovery discovery(volumes);
    int form = kCardFormNone;
    EXPECT_TRUE(discovery.SearchCards(form));
    EXPECT_EQ(discovery.cards(),
              (std::vector<fs::path>{Volume("qt8800"), Volume("card"), Volume("qt350")}));
    EXPECT_EQ(form, kCardFormRoot);  // the form of the first card found
    EXPECT_EQ(RecognizeCard(Volume("card")), kCardFormFolder);
    EXPECT_EQ(CardRecordFolder(Volume("card"), kCardFormFolder),
              Volume("card") / "KX-TMQ4" / "Record");
    EXPECT_EQ(CardRecordFolder(Volume("qt350"), kCardFormRoot), Volume("qt350"));

    FolderVolumeProvider none = Volumes({"stick", "absent"});
    CardDiscovery nothing(none);
    int untouched = kCardFormNone;
    EXPECT_FALSE(nothing.SearchCards(untouched));
    EXPECT_EQ(untouched, kCardFormNone);
}

TEST_F(CardDiscoveryTest, StartUpPlugsIntoTheSettingsLoad) {
    InsertCard("E");
    FolderVolumeProvider volumes = Volumes({"D", "E"});
    CardDiscovery discovery(volumes);
    ViewerSettings settings;
    fs::create_directories(dir_ / "Documents" / "KX-TMQ4");
    test::WriteFileBytes(dir_ / "Documents" / "KX-TMQ4" / "setup.ini",
                         "[setup]\nfilepath=" + BrowseFolder().string() + "\n");
    settings.Load({dir_ / "Documents", dir_ / "Videos", dir_ / "bin"}, "1.05", 1,
                  StartUpCardSearch(discovery));
    EXPECT_EQ(discovery.selectedCard(), Volume("E"));
    EXPECT_EQ(settings.recordFolder(), Volume("E") / "KX-TMQ4" / "Record");
    // The export folder still comes from movepath (its default), not from the card.
    EXPECT_EQ(settings.exportFolder(), dir_ / "Videos" / "Videos");

    Remove("E");
    CardDiscovery noCard(volumes);
    ViewerSettings without;
    without.Load({dir_ / "Documents", dir_ / "Videos", dir_ / "bin"}, "1.05", 1,
                 StartUpCardSearch(noCard));
    EXPECT_TRUE(noCard.selectedCard().empty());
    EXPECT_EQ(without.recordFolder(), BrowseFolder());

    fs::remove(dir_ / "Documents" / "KX-TMQ4" / "setup.ini");
    ViewerSettings defaults;
    defaults.Load({dir_ / "Documents", dir_ / "Videos", dir_ / "bin"}, "1.05", 1,
                  StartUpCardSearch(noCard));
    EXPECT_EQ(defaults.recordFolder(), dir_ / "Videos" / "Videos");
}

TEST_F(CardDiscoveryTest, ArrivalWhileACardIsShownOnlyExtendsTheList) {
    InsertCard("D");
    FolderVolumeProvider volumes = Volumes({"D", "E"});
    CardDiscovery discovery(volumes);
    fs::path record = discovery.ChooseAtStartUp([&] { return BrowseFolder(); });
    InsertCard("E");
    EXPECT_FALSE(discovery.OnArrival(record));
    EXPECT_EQ(discovery.cards(), (std::vector<fs::path>{Volume("D"), Volume("E")}));
    EXPECT_EQ(discovery.selectedCard(), Volume("D"));
}

TEST_F(CardDiscoveryTest, ArrivalWhileALocalFolderIsShownSelectsTheNewCard) {
    InsertCard("D");
    FolderVolumeProvider volumes = Volumes({"D", "E"});
    CardDiscovery discovery(volumes);
    discovery.ChooseAtStartUp([&] { return BrowseFolder(); });
    const fs::path local = BrowseFolder();  // the user picked a local folder since
    InsertCard("E");
    std::optional<CardChange> change = discovery.OnArrival(local);
    ASSERT_TRUE(change);
    EXPECT_EQ(change->action, kCardActionSelectAndRefresh);
    EXPECT_EQ(change->form, kCardFormFolder);
    EXPECT_EQ(discovery.selectedCard(), Volume("E"));
    CardChangeSteps steps =
        PlanCardChange(change->action, discovery.selectedCard(), change->form, local);
    EXPECT_EQ(steps.recordFolder, Volume("E") / "KX-TMQ4" / "Record");
    EXPECT_TRUE(steps.resetAndRescan);
    EXPECT_TRUE(steps.refreshToolBar);

    // A stick arriving changes nothing.
    InsertStick("F");
    FolderVolumeProvider more = Volumes({"D", "E", "F"});
    CardDiscovery same(more);
    same.ChooseAtStartUp([&] { return BrowseFolder(); });
    std::optional<CardChange> again = same.OnArrival(local);
    ASSERT_TRUE(again);
    EXPECT_EQ(same.selectedCard(), Volume("D"));  // the lists agree: the selection stays
}

TEST_F(CardDiscoveryTest, RemovingTheShownCardSelectsTheOtherOne) {
    InsertCard("D");
    InsertCard("E");
    FolderVolumeProvider volumes = Volumes({"D", "E"});
    CardDiscovery discovery(volumes);
    fs::path record = discovery.ChooseAtStartUp([&] { return BrowseFolder(); });
    EXPECT_EQ(record, Volume("D") / "KX-TMQ4" / "Record");
    Remove("D");
    std::optional<CardChange> change = discovery.OnRemoval(record, [&] { return BrowseFolder(); });
    ASSERT_TRUE(change);
    EXPECT_EQ(change->action, kCardActionSelectAndRefresh);
    EXPECT_EQ(discovery.selectedCard(), Volume("E"));
    CardChangeSteps steps =
        PlanCardChange(change->action, discovery.selectedCard(), change->form, record);
    EXPECT_EQ(steps.recordFolder, Volume("E") / "KX-TMQ4" / "Record");
}

TEST_F(CardDiscoveryTest, RemovingTheOnlyCardWhileALocalFolderIsShown) {
    InsertCard("D");
    FolderVolumeProvider volumes = Volumes({"D"});
    CardDiscovery discovery(volumes);
    discovery.ChooseAtStartUp([&] { return BrowseFolder(); });
    fs::path record = dir_ / "local";
    Remove("D");
    std::optional<CardChange> change = discovery.OnRemoval(record, [&] { return BrowseFolder(); });
    ASSERT_TRUE(change);
    EXPECT_EQ(change->action, kCardActionRefresh);
    EXPECT_EQ(record, dir_ / "local");
    EXPECT_TRUE(discovery.selectedCard().empty());
    CardChangeSteps steps =
        PlanCardChange(change->action, discovery.selectedCard(), change->form, record);
    EXPECT_FALSE(steps.recordFolder);
    EXPECT_FALSE(steps.resetAndRescan);
    EXPECT_TRUE(steps.refreshToolBar);  // which now shows "NO SDCard"
}

TEST_F(CardDiscoveryTest, RemovingTheOnlyCardWhileItIsShownFallsBackToTheBrowseFolder) {
    InsertCard("D");
    FolderVolumeProvider volumes = Volumes({"D"});
    CardDiscovery discovery(volumes);
    fs::path record = discovery.ChooseAtStartUp([&] { return BrowseFolder(); });
    Remove("D");
    std::optional<CardChange> change = discovery.OnRemoval(record, [&] { return BrowseFolder(); });
    ASSERT_TRUE(change);
    EXPECT_EQ(change->action, kCardActionSelectAndRefresh);
    EXPECT_EQ(record, BrowseFolder());
    CardChangeSteps steps =
        PlanCardChange(change->action, discovery.selectedCard(), change->form, record);
    EXPECT_FALSE(steps.recordFolder);  // no card: the folder set by the removal stays
    EXPECT_TRUE(steps.resetAndRescan);
}

TEST_F(CardDiscoveryTest, RemovingAnotherCardKeepsTheSelection) {
    InsertCard("D");
    InsertCard("E");
    FolderVolumeProvider volumes = Volumes({"D", "E"});
    CardDiscovery discovery(volumes);
    fs::path record = discovery.ChooseAtStartUp([&] { return BrowseFolder(); });
    Remove("E");
    std::optional<CardChange> change = discovery.OnRemoval(record, [&] { return BrowseFolder(); });
    ASSERT_TRUE(change);
    EXPECT_EQ(change->action, kCardActionRefresh);
    EXPECT_EQ(discovery.selectedCard(), Volume("D"));
    EXPECT_EQ(record, Volume("D") / "KX-TMQ4" / "Record");
}

TEST_F(CardDiscoveryTest, DriveMenuChoice) {
    InsertCard("D");
    fs::create_directories(Volume("E"));
    test::WriteFileBytes(Volume("E") / "setup.cfg", "QT350");
    FolderVolumeProvider volumes = Volumes({"D", "E"});
    CardDiscovery discovery(volumes);
    fs::path record = discovery.ChooseAtStartUp([&] { return BrowseFolder(); });

    std::optional<CardChange> same = discovery.ChooseCard(0);
    ASSERT_TRUE(same);
    EXPECT_EQ(same->action, kCardActionSelectFolder);
    EXPECT_EQ(same->form, kCardFormFolder);
    CardChangeSteps noRescan =
        PlanCardChange(same->action, discovery.selectedCard(), same->form, record);
    EXPECT_FALSE(noRescan.resetAndRescan);
    EXPECT_FALSE(noRescan.recordFolder);

    std::optional<CardChange> other = discovery.ChooseCard(1);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->action, kCardActionSelectAndRefresh);
    EXPECT_EQ(other->form, kCardFormRoot);
    EXPECT_EQ(discovery.selectedCard(), Volume("E"));
    CardChangeSteps steps =
        PlanCardChange(other->action, discovery.selectedCard(), other->form, record);
    EXPECT_EQ(steps.recordFolder, Volume("E"));
    EXPECT_TRUE(steps.resetAndRescan);

    EXPECT_FALSE(discovery.ChooseCard(2));
}

TEST(CardChange, PlanOfEachAction) {
    const fs::path card = "/media/card";
    const fs::path cardFolder = card / "KX-TMQ4" / "Record";
    CardChangeSteps nothing = PlanCardChange(kCardActionNothing, card, 0, "/x");
    EXPECT_FALSE(nothing.recordFolder || nothing.resetAndRescan || nothing.refreshToolBar);

    CardChangeSteps select = PlanCardChange(kCardActionSelectFolder, card, 0, "/x");
    EXPECT_EQ(select.recordFolder, cardFolder);
    EXPECT_TRUE(select.resetAndRescan);
    EXPECT_FALSE(select.refreshToolBar);

    CardChangeSteps already = PlanCardChange(kCardActionSelectFolder, card, 0, cardFolder);
    EXPECT_FALSE(already.recordFolder || already.resetAndRescan || already.refreshToolBar);

    CardChangeSteps noCard = PlanCardChange(kCardActionSelectFolder, "", 0, "/x");
    EXPECT_FALSE(noCard.recordFolder);
    EXPECT_TRUE(noCard.resetAndRescan);

    CardChangeSteps both = PlanCardChange(kCardActionSelectAndRefresh, card, 1, cardFolder);
    EXPECT_EQ(both.recordFolder, card);
    EXPECT_TRUE(both.resetAndRescan && both.refreshToolBar);

    CardChangeSteps refresh = PlanCardChange(kCardActionRefresh, card, 0, "/x");
    EXPECT_FALSE(refresh.recordFolder || refresh.resetAndRescan);
    EXPECT_TRUE(refresh.refreshToolBar);
}

TEST(CardChange, FolderOnVolume) {
    EXPECT_TRUE(IsOnVolume("/media/card/KX-TMQ4/Record", "/media/card"));
    EXPECT_TRUE(IsOnVolume("/media/card", "/media/card/"));
    EXPECT_TRUE(IsOnVolume("/media/card/", "/media/card"));
    EXPECT_FALSE(IsOnVolume("/media/card2/KX-TMQ4", "/media/card"));
    EXPECT_FALSE(IsOnVolume("/media", "/media/card"));
    EXPECT_FALSE(IsOnVolume("", "/media/card"));
}

class EventLog {
  public:
    void Add(VolumeEvent event) {
        std::lock_guard guard(lock_);
        events_.push_back(event);
        changed_.notify_all();
    }
    bool WaitFor(std::size_t count) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(10),
                                 [&] { return events_.size() >= count; });
    }
    std::vector<VolumeEvent> events() {
        std::lock_guard guard(lock_);
        return events_;
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<VolumeEvent> events_;
};

TEST(MountWatcher, ReportsArrivalAndRemovalOfFolderVolumes) {
    test::TempDir dir;
    FolderVolumeProvider volumes({dir / "card"});
    EventLog log;
    {
        MountWatcher watcher(
            volumes, [&](VolumeEvent event) { log.Add(event); }, std::chrono::milliseconds(20));
        fs::create_directories(dir / "card");
        ASSERT_TRUE(log.WaitFor(1));
        fs::remove_all(dir / "card");
        ASSERT_TRUE(log.WaitFor(2));
    }
    EXPECT_EQ(log.events(), (std::vector<VolumeEvent>{VolumeEvent::Arrival, VolumeEvent::Removal}));
}

TEST(MountWatcher, StopsPromptlyOnTheMountTable) {
    // The real source waits on the mount table without a timeout; the destructor must still
    // end the thread.
    SystemVolumeProvider volumes;
    EventLog log;
    {
        MountWatcher watcher(volumes, [&](VolumeEvent event) { log.Add(event); });
    }
    SUCCEED();
}

}  // namespace
}  // namespace kx

#pragma once
// An index source over test videos written by WriteTestVideo: a front file and, when given,
// a rear file, indexed the way the camera's own recordings are (key groups held back).
#include <filesystem>
#include <functional>

#include "player/IndexSource.h"
#include "support/TestVideo.h"

namespace kx::test {

class TestSource : public IndexSource {
  public:
    TestSource(std::filesystem::path front, TestVideo frontVideo, std::filesystem::path rear = {},
               TestVideo rearVideo = {});

    bool Prepare(SyncPlayer& player) override;
    void Walk(SyncPlayer& player) override;

    // Called before each front entry is indexed (a test can hold the reader back here).
    std::function<void(std::size_t entry)> beforeEntry;

  private:
    std::filesystem::path frontPath_, rearPath_;
    TestVideo front_, rear_;
    bool rearOpened_ = false;
};

}  // namespace kx::test

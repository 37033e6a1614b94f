#include "slides/slide_controller.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "recording_slide_view.h"
#include "slides/picture_list.h"
#include "temp_folder.h"

namespace tambrel {
namespace {

using C = TSlideCommandCode;
using Lines = std::vector<std::string>;

// A folder of files with the given names.
struct TPictureFolder : TTempFolder {
  explicit TPictureFolder(const std::vector<std::string>& files) {
    for (const std::string& file : files) Write(file, "x");
  }
};

class SlideControllerTest : public ::testing::Test {
 protected:
  SlideControllerTest()
      : Folder({"c.png", "a.jpg", "b.bmp"}),
        Queue(std::make_shared<TSlideCommandQueue>()),
        Controller(View, Queue, {"jpg", "png", "bmp"}, [this](uint32_t n) { return Engine() % n; }) {}

  void Run(std::vector<uint8_t> bytes) {
    Queue->PostBytes(bytes);
    Controller.DrainQueue();
  }
  // Ends the running transition as the control would after its last frame.
  void Finish() {
    View.Busy = false;
    Controller.TransitionComplete(true);
    Controller.DrainQueue();
  }
  std::string PathOf(const std::string& name) const { return Folder.Path() + "/" + name; }

  TPictureFolder Folder;
  TRecordingSlideView View;
  std::shared_ptr<TSlideCommandQueue> Queue;
  std::mt19937 Engine{7};
  TSlideController Controller;
};

TEST_F(SlideControllerTest, SettingsReachTheViewOnlyWhenTheyChange) {
  struct TCase {
    C Code;
    uint8_t Changed;  // differs from the start value
    uint8_t Unchanged;
  };
  const TCase cases[] = {{C::AutoSize, 1, 0}, {C::Center, 0, 5},  {C::Manual, 1, 0},      {C::Reverse, 1, 0},
                         {C::Step, 9, 1},     {C::Stretch, 1, 0}, {C::StretchFine, 0, 2}, {C::Style, 17, 0}};
  for (const TCase& c : cases) {
    const auto code = static_cast<uint8_t>(c.Code);
    Run({code, c.Unchanged});
    EXPECT_TRUE(View.Take().empty()) << "command " << int(code);
    Run({code, c.Changed, code, c.Changed});
    EXPECT_EQ(View.Take(), Lines{StrFormat("set %d=%d", code, c.Changed)}) << "command " << int(code);
  }
  Run({3, 100, 0});
  EXPECT_TRUE(View.Take().empty());
  Run({3, 20, 0});
  EXPECT_EQ(View.Take(), Lines{"set 3=20"});
  EXPECT_EQ(Controller.State().Delay, 20);
  // Progress is applied every time, repeated or not.
  Run({11, 100, 11, 100, 11, 0, 11, 0});
  EXPECT_EQ(View.Take(), (Lines{"set 11=100", "set 11=100", "set 11=0", "set 11=0"}));
}

TEST_F(SlideControllerTest, ShowPictureStopsThenLoadsThenExecutesAndBoundsToTheLast) {
  Controller.SetPictureRoot(Folder.Path());
  EXPECT_EQ(Controller.PictureList(), (Lines{"a.jpg", "b.bmp", "c.png"}));
  EXPECT_EQ(Controller.PictureDir(), Folder.Path() + "/");
  Run({5, 1, 0});
  EXPECT_EQ(View.Take(), (Lines{"load " + PathOf("b.bmp"), "execute"}));
  Run({5, 200, 1});
  EXPECT_EQ(View.Take(), (Lines{"stop", "load " + PathOf("c.png"), "execute"}));
  EXPECT_EQ(Controller.State().Current, 2);
  // A failed load shows one error and starts no transition, also when advancing in order.
  View.Unreadable.insert(PathOf("b.bmp"));
  Controller.Apply({C::AdvanceInOrder, 1});
  Run({5, 1, 0});
  EXPECT_EQ(View.Take(), (Lines{"stop", "load " + PathOf("b.bmp"), "error cannot read " + PathOf("b.bmp")}));
}

TEST_F(SlideControllerTest, ARootWithoutPicturesWarnsAndKeepsTheFormerList) {
  TPictureFolder empty({"notes.txt", ".hidden.png"});
  Controller.SetPictureRoot("");  // none chosen: no warning
  Controller.SetPictureRoot(empty.Path());
  EXPECT_EQ(View.Take(), Lines{"warning " + empty.Path() + "\n\rdoes not contain any supported image file"});
  Run({5, 0, 0});
  EXPECT_TRUE(View.Take().empty());  // no picture root yet: nothing to show
  Controller.SetPictureRoot(Folder.Path());
  Controller.SetPictureRoot(empty.Path());
  View.Take();
  EXPECT_EQ(Controller.PictureList().size(), 3u);
  Run({5, 0, 0});
  EXPECT_EQ(View.Take(), (Lines{"load " + PathOf("a.jpg"), "execute"}));
}

TEST_F(SlideControllerTest, AdvanceInOrderWrapsAndAStoppedTransitionDoesNotAdvance) {
  Controller.SetPictureRoot(Folder.Path());
  Run({14, 1, 5, 1, 0});
  View.Take();
  Finish();
  EXPECT_EQ(View.Take(), (Lines{"load " + PathOf("c.png"), "execute"}));
  Finish();
  EXPECT_EQ(View.Take(), (Lines{"load " + PathOf("a.jpg"), "execute"}));
  // A new picture while the transition runs: the stop's completion must not post another.
  Run({5, 2, 0});
  Controller.TransitionComplete(false);
  Controller.DrainQueue();
  EXPECT_EQ(View.Take(), (Lines{"stop", "load " + PathOf("c.png"), "execute"}));
  Controller.WindowClosed();
  Controller.TransitionComplete(false);
  Controller.DrainQueue();
  EXPECT_EQ(View.Take(), Lines{"stop"});
}

TEST_F(SlideControllerTest, RandomAdvanceNeverRepeatsTheCurrentPictureAndReachesEveryOther) {
  TPictureFolder many({"0.png", "1.png", "2.png", "3.png", "4.png"});
  Controller.SetPictureRoot(many.Path());
  Run({15, 1, 5, 2, 0});
  std::set<uint16_t> seen;
  for (int i = 0; i < 200; ++i) {
    const uint16_t before = Controller.State().Current;
    Finish();
    ASSERT_NE(Controller.State().Current, before);
    seen.insert(Controller.State().Current);
  }
  EXPECT_EQ(seen.size(), 5u);
  // With one picture there is nothing to go to.
  TPictureFolder one({"only.png"});
  Controller.SetPictureRoot(one.Path());
  Run({5, 0, 0});
  View.Take();
  Finish();
  EXPECT_TRUE(View.Take().empty());
}

TEST_F(SlideControllerTest, WindowFullScreenAndPointerFollowCreateTheCommandsAndKeys) {
  Controller.Create();
  EXPECT_EQ(View.Take(), (Lines{"full 1", "full 0"}));
  EXPECT_TRUE(Controller.State().CursorShown);
  Run({12, 1});
  EXPECT_EQ(View.Take(), Lines{"window 1"});
  Run({13, 1});
  EXPECT_EQ(View.Take(), (Lines{"full 1", "cursor 0"}));
  Controller.KeyDown(TSlideKey::Escape);
  EXPECT_EQ(View.Take(), (Lines{"window 0", "cursor 1"}));
  Controller.KeyDown(TSlideKey::Space);  // full screen off while hidden
  Controller.KeyDown(TSlideKey::Enter);  // and on again: the pointer stays, the window is hidden
  EXPECT_EQ(View.Take(), (Lines{"full 0", "full 1"}));
  Run({12, 1});
  EXPECT_EQ(View.Take(), (Lines{"window 1", "cursor 0"}));
  Controller.WindowClosed();
  EXPECT_EQ(View.Take(), Lines{"cursor 1"});
  EXPECT_FALSE(Controller.State().SlideVisible);
  Controller.KeyDown(TSlideKey::AltX);
  EXPECT_EQ(View.Take(), Lines{"quit"});
}

TEST(PictureList, ListsSupportedFilesByNameWithoutRegardToCase) {
  TPictureFolder folder({"b.PNG", "A.jpg", "a.jpg", "C.Jpeg", ".hidden.jpg", "notes.txt", "noext", "z.bmp"});
  std::filesystem::create_directory(folder.Root / "dir.jpg");
  EXPECT_EQ(ListPictureFiles(folder.Path(), {"jpg", "jpeg", "png"}),
            (Lines{"A.jpg", "a.jpg", "b.PNG", "C.Jpeg"}));
  EXPECT_TRUE(ListPictureFiles(folder.Path() + "/missing", {"jpg"}).empty());
}

}  // namespace
}  // namespace tambrel

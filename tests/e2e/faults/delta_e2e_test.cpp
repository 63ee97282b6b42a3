// Updates whose payload carries delta entries, under the real updater.exe:
// the old game folder becomes the new one exactly; a player whose base file
// is another version or missing is refused before anything is written, and
// the menu stays; a hostile delta (a copy past the base's end, a new file
// whose checksum fails) gives the one failure message and leaves the folder
// as it was. The payloads are built here with the delta encoder, so that
// these tests do not wait for updpack's own delta building.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "e2e/driver/uidriver.h"
#include "e2e/faults/game_folder.h"
#include "payload/format.h"
#include "support/sha256.h"
#include "unit/payload/payload_writer.h"
#include "updpack/delta/delta_encode.h"
#include "updpack/delta/delta_write.h"
#include "win/common/temp_folder.h"

namespace {

using namespace gamefolder;

const char kVersionRefusal[] = "アップデート元のバージョンが不適合です";
const char kAbandoned[] = "アップデートを中止しました";
constexpr uint64_t kOldTime = 132000000000000000ull;
constexpr uint64_t kNewTime = 133000000000000000ull;

const unsigned char* Bytes(const std::string& s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

std::string Delta(const std::string& base, const std::string& next) {
  std::vector<unsigned char> out;
  EXPECT_EQ(DeltaEncode(Bytes(base), static_cast<uint32_t>(base.size()), Bytes(next),
                        static_cast<uint32_t>(next.size()), DeltaEncodeOptions(), &out),
            0);
  return std::string(out.begin(), out.end());
}

std::string Sha(const std::string& data) {
  unsigned char digest[kSha256Bytes];
  Sha256 sha;
  Sha256Begin(&sha);
  Sha256Update(&sha, Bytes(data), data.size());
  Sha256End(&sha, digest);
  return std::string(reinterpret_cast<char*>(digest), kSha256Bytes);
}

// A delta that copies 20 bytes from 10 before the base's end: its header
// holds the real base, so only applying it finds the fault.
std::string CopyPastTheEnd(const std::string& base) {
  DeltaWriter w;
  EXPECT_EQ(DeltaWriterBegin(&w, 6), 0);
  DeltaWriteCopy(&w, static_cast<int64_t>(base.size()) - 10, 20);
  std::string next = base.substr(base.size() - 10) + std::string(10, '\0');
  std::vector<unsigned char> out;
  std::string baseSha = Sha(base), nextSha = Sha(next);
  EXPECT_EQ(DeltaWriterEnd(&w, static_cast<uint32_t>(base.size()), Bytes(baseSha), 20,
                           Bytes(nextSha), &out),
            0);
  return std::string(out.begin(), out.end());
}

void SetTime(const std::string& path, uint64_t stamp) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  FILETIME time{static_cast<DWORD>(stamp), static_cast<DWORD>(stamp >> 32)};
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

class DeltaE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    before_ = WorkFolders();
    // A game archive of several chunks with a few scenes replaced, one
    // inserted (all after it shifts) and the end cut; a small file edited.
    oldFiles_["scene.arc"] = Noise(5 * kPayloadChunkSize + 3000, 11);
    std::string arc = oldFiles_["scene.arc"];
    arc.replace(70000, 4000, Noise(4000, 12));
    arc.insert(300000, Noise(9000, 13));
    arc.resize(arc.size() - 50000);
    newFiles_["scene.arc"] = arc;
    oldFiles_["config.dat"] = "volume=3\r\nwindow=1\r\n" + Noise(2000, 14);
    newFiles_["config.dat"] = "volume=5\r\nwindow=1\r\n" + Noise(2000, 14);
    oldFiles_["keep.txt"] = "not in the update";
    newFiles_["added.dat"] = "new in this version";
    newFiles_["data\\voice.dat"] = Noise(40000, 15);
  }
  void TearDown() override {
    for (const std::string& f : WorkFolders()) {
      if (!before_.count(f)) {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        RemoveTree(temp + f);
      }
    }
  }

  // The update: install.env, the small delta, the data folder, the large
  // delta, then ordinary files; `last` replaces the large delta's stream.
  std::string Pack(const std::string& title, const std::string& last = "") {
    testpayload::Writer w;
    w.File("install.env", Env(title), kNewTime);
    w.RawFile("config.dat", kPayloadDeltaSize,
              Delta(oldFiles_["config.dat"], newFiles_["config.dat"]), kNewTime + 1);
    w.Folder("data\\");
    w.RawFile("scene.arc", kPayloadDeltaSize,
              last.empty() ? Delta(oldFiles_["scene.arc"], newFiles_["scene.arc"]) : last,
              kNewTime + 2);
    w.File("added.dat", newFiles_["added.dat"], kNewTime + 3);
    w.File("data\\voice.dat", newFiles_["data\\voice.dat"], kNewTime + 4);
    std::string exe = temp_ / (title + ".exe");
    EXPECT_TRUE(
        WriteFileBytes(exe, w.Finish(ReadFileBytes(WinPath(UPD_BIN_DIR) + "\\updater.exe"))));
    return exe;
  }

  // The old version installed in a folder of its own (its listing shows
  // anything written beside it).
  std::string Install(const std::string& title) {
    std::string around = temp_ / ("around-" + title);
    CreateDirectoryA(around.c_str(), nullptr);
    std::string game = around + "\\game";
    CreateDirectoryA(game.c_str(), nullptr);
    for (const auto& [name, bytes] : oldFiles_) {
      WriteFileBytes(game + "\\" + name, bytes);
      SetTime(game + "\\" + name, kOldTime);
    }
    RegisterGame(title, game);
    return game;
  }

  void ExpectUnchanged(const std::string& game, const Tree& before) {
    EXPECT_EQ(Listing(game + "\\.."), (std::set<std::string>{".", "..", "game"}));
    EXPECT_EQ(Differences(before, Snapshot(game)), "") << "the game's folder as it was";
  }

  TempFolder temp_;
  std::set<std::string> before_;
  std::map<std::string, std::string> oldFiles_, newFiles_;
};

TEST_F(DeltaE2e, OldFolderPlusUpdateIsTheNewFolder) {
  std::string game = Install("Delta");
  std::string exe = Pack("Delta");
  ASSERT_EQ(RunToCompletion(exe, "Delta"), 0);
  Tree want;
  want["install.env"] = Item{Env("Delta"), kNewTime};
  want["config.dat"] = Item{newFiles_["config.dat"], kNewTime + 1};
  want["data\\"] = Item{"", 0};
  want["scene.arc"] = Item{newFiles_["scene.arc"], kNewTime + 2};
  want["added.dat"] = Item{newFiles_["added.dat"], kNewTime + 3};
  want["data\\voice.dat"] = Item{newFiles_["data\\voice.dat"], kNewTime + 4};
  want["keep.txt"] = Item{oldFiles_["keep.txt"], kOldTime};
  EXPECT_EQ(Differences(want, Snapshot(game)), "");
  EXPECT_EQ(WorkFolders(), before_);
}

// Another version of the large base (one byte changed, same size) and a
// missing small one: refused after the confirmation, nothing written, and
// the menu stays for another try.
TEST_F(DeltaE2e, BaseOfAnotherVersionOrMissingIsRefusedAndTheMenuStays) {
  for (bool missing : {false, true}) {
    std::string title = missing ? "DeltaMissing" : "DeltaModified";
    SCOPED_TRACE(title);
    std::string game = Install(title);
    if (missing) {
      ASSERT_TRUE(DeleteFileA((game + "\\config.dat").c_str()));
    } else {
      std::string arc = oldFiles_["scene.arc"];
      arc[arc.size() - 1] ^= 1;
      WriteFileBytes(game + "\\scene.arc", arc);
      SetTime(game + "\\scene.arc", kOldTime);
    }
    std::string exe = Pack(title);
    Tree before = Snapshot(game);
    DrvProcess p;
    DrvGuard guard{&p};
    HWND menu = StartUpdate(&p, exe, title);
    ASSERT_NE(menu, nullptr);
    std::string message;
    ASSERT_TRUE(Answer(p, menu, IDOK, &message));
    EXPECT_EQ(message, kVersionRefusal) << DrvUtf8(message);
    ASSERT_TRUE(Answer(p, menu, IDOK, &message));
    EXPECT_EQ(message, kAbandoned) << DrvUtf8(message);
    EXPECT_TRUE(
        DrvHolds([&] { return IsWindow(menu) && WaitForSingleObject(p.process, 0) != 0; }, 500))
        << "the menu stays";
    ExpectUnchanged(game, before);
    DrvKill(&p);
  }
}

// The running game holds the large base open without letting it be read:
// the player is asked to close it before its checksum can be taken. Cancel
// gives up with nothing written and the menu back; Retry once the game has
// ended completes the update.
TEST_F(DeltaE2e, BaseHeldOpenByTheGameAsksRetryOrCancel) {
  for (bool retry : {false, true}) {
    std::string title = retry ? "DeltaHeldRetry" : "DeltaHeld";
    SCOPED_TRACE(title);
    std::string game = Install(title);
    std::string exe = Pack(title);
    Tree before = Snapshot(game);
    HANDLE held = HoldAsTheGame(game + "\\scene.arc");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DrvProcess p;
    DrvGuard guard{&p};
    HWND menu = StartUpdate(&p, exe, title);
    ASSERT_NE(menu, nullptr);
    HWND box = InUseBox(p, menu, game + "\\scene.arc");
    ASSERT_NE(box, nullptr) << "the in-use box";
    if (!retry) {
      ASSERT_TRUE(DrvClick(box, IDCANCEL));
      std::string message;
      ASSERT_TRUE(Answer(p, menu, IDOK, &message));
      EXPECT_EQ(message, kAbandoned) << DrvUtf8(message);
      EXPECT_TRUE(
          DrvHolds([&] { return IsWindow(menu) && WaitForSingleObject(p.process, 0) != 0; }, 500))
          << "the menu stays";
      CloseHandle(held);
      ExpectUnchanged(game, before);
      DrvKill(&p);
      continue;
    }
    CloseHandle(held);  // the game ends
    ASSERT_TRUE(DrvClick(box, IDRETRY));
    EXPECT_EQ(CompletionEnd(&p), 0);
    EXPECT_TRUE(ReadFileBytes(game + "\\scene.arc") == newFiles_["scene.arc"]);
    EXPECT_FALSE(FolderExists(game + "\\~updtxn"));
  }
}

// The large delta made hostile; the small delta and install.env before it
// were staged whole and go again.
TEST_F(DeltaE2e, HostileDeltaFailsWithTheOneMessageAndChangesNothing) {
  std::string good = Delta(oldFiles_["scene.arc"], newFiles_["scene.arc"]);
  std::string badSum = good;
  badSum[44] ^= 1;  // the new file's SHA-256
  for (const std::string& last : {CopyPastTheEnd(oldFiles_["scene.arc"]), badSum}) {
    std::string title = last == badSum ? "DeltaBadSum" : "DeltaPastEnd";
    SCOPED_TRACE(title);
    std::string game = Install(title);
    std::string exe = Pack(title, last);
    Tree before = Snapshot(game);
    DrvProcess p;
    DrvGuard guard{&p};
    HWND menu = StartUpdate(&p, exe, title);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(FailureEnd(&p, menu), -1);
    ExpectUnchanged(game, before);
    EXPECT_EQ(WorkFolders(), before_);
  }
}

}  // namespace

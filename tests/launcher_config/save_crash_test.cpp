// A writer killed at a random moment of Save leaves the old or the new file,
// never a part of one.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "launcher_config/config_keys.h"
#include "launcher_config/config_table.h"
#include "launcher_config/save_fault_seam.h"
#include "launcher_config/test_support.h"

namespace veskp8 {
namespace {

using testing::ListNames;
using testing::ReadFileBytes;
using testing::TempHome;
using testing::W;

ConfigTable BigTable(const std::string& tag) {
  std::vector<WideString> dirs;
  for (int i = 0; i < 5000; ++i) {
    dirs.push_back(W("/" + tag + "/templates/" + std::to_string(i) + "/some/longer/path"));
  }
  ConfigTable table;
  SetValues(table, W("Other" + tag), {W(tag)});
  SetValues(table, ConfigurationTemplatesLocation, dirs);
  return table;
}

int g_progress_pipe = -1;

// Stands for a slow disk: every chunk of the temporary file takes a while,
// and the parent hears when a chunk is written, so its kill can be aimed at
// the write.
bool SlowWrite(SaveStep step) {
  if (step == SaveStep::kWrite) {
    char byte = 'w';
    (void)!write(g_progress_pipe, &byte, 1);
    usleep(20000);
  }
  return false;
}

TEST(SaveCrashTest, KilledWriterLeavesOldOrNewFile) {
  constexpr int kRounds = 20;
  TempHome home;
  const std::string directory = home.Join("cfg");
  const std::string path = directory + "/vesklaunch.cfg";
  testing::WriteFileBytes(path, "");
  const ConfigTable old_table = BigTable("old");
  const ConfigTable new_table = BigTable("new");
  Save(W(path), new_table);
  const std::string new_bytes = ReadFileBytes(path);
  Save(W(path), old_table);
  const std::string old_bytes = ReadFileBytes(path);
  ASSERT_GT(old_bytes.size(), 3 * kSaveChunkBytes);
  ASSERT_NE(old_bytes, new_bytes);

  std::random_device device;
  const unsigned seed = device();
  std::mt19937 random(seed);
  int killed_while_writing = 0;
  int saw_old = 0;
  int saw_new = 0;
  for (int round = 0; round < kRounds; ++round) {
    int progress[2];
    ASSERT_EQ(pipe(progress), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(progress[0]);
      g_progress_pipe = progress[1];
      SetSaveFaultHook(SlowWrite);
      for (unsigned i = 0;; ++i) {
        try {
          Save(W(path), i % 2 == 0 ? new_table : old_table);
        } catch (...) {
          _exit(3);
        }
      }
    }
    close(progress[1]);
    char byte;
    ASSERT_EQ(read(progress[0], &byte, 1), 1);  // the first chunk is being written
    usleep(random() % 150000);
    close(progress[0]);
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed on its own, status " << status;

    const std::string bytes = ReadFileBytes(path);
    ASSERT_TRUE(bytes == old_bytes || bytes == new_bytes)
        << "partial file of " << bytes.size() << " bytes in round " << round << ", seed " << seed;
    (bytes == old_bytes ? saw_old : saw_new)++;

    // The only other names are temporary files of killed writers, which
    // the next start removes.
    for (const std::string& name : ListNames(directory)) {
      if (name == "vesklaunch.cfg") continue;
      ASSERT_EQ(name.rfind(".vesklaunch.cfg.tmp-", 0), 0u) << name;
      ++killed_while_writing;
    }
    RemoveStaleSaveTemporaries(W(path));
    ASSERT_EQ(ListNames(directory), std::vector<std::string>{"vesklaunch.cfg"});
  }
  std::printf("%d kills: %d while the temporary file was open, %d old, %d new (seed %u)\n", kRounds,
              killed_while_writing, saw_old, saw_new, seed);
  EXPECT_GT(killed_while_writing, 0) << "no kill landed inside a save; seed " << seed;
}

// A writer that is alive keeps its temporary file: only the stale ones of
// writers that are gone are removed.
TEST(SaveCrashTest, LiveWritersTemporaryFileStays) {
  TempHome home;
  const std::string directory = home.Join("cfg");
  const std::string path = directory + "/vesklaunch.cfg";
  testing::WriteFileBytes(path, "");
  testing::WriteFileBytes(directory + "/.vesklaunch.cfg.tmp-1-2-3", "left by a power loss");
  int progress[2];
  ASSERT_EQ(pipe(progress), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(progress[0]);
    g_progress_pipe = progress[1];
    SetSaveFaultHook(SlowWrite);
    try {
      Save(W(path), BigTable("live"));
    } catch (...) {
    }
    _exit(0);
  }
  close(progress[1]);
  char byte;
  ASSERT_EQ(read(progress[0], &byte, 1), 1);  // writing its temporary file
  ASSERT_EQ(kill(child, SIGSTOP), 0);
  RemoveStaleSaveTemporaries(W(path));
  const std::vector<std::string> names = ListNames(directory);
  EXPECT_EQ(names.size(), 2u);
  for (const std::string& name : names) {
    EXPECT_TRUE(name == "vesklaunch.cfg" ||
                name.starts_with(".vesklaunch.cfg.tmp-" + std::to_string(child) + "-"))
        << name;
  }
  ASSERT_EQ(kill(child, SIGKILL), 0);
  ASSERT_EQ(waitpid(child, nullptr, 0), child);
  close(progress[0]);
  RemoveStaleSaveTemporaries(W(path));
  EXPECT_EQ(ListNames(directory), std::vector<std::string>{"vesklaunch.cfg"});
}

}  // namespace
}  // namespace veskp8

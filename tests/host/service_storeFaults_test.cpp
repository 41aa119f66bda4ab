// The store and the import when the disk is full, the store is held, read-only or damaged: the real
// program says what it did not write, exits 1, and what the store held before is still there.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>  // steady_clock, without <chrono>'s literals GBK cannot hold
#include <vector>

#include "service_testing.h"
#include "storeEngines.h"

extern char** environ;

namespace {

// What a run of the real program said and how it ended.
struct ProgramRun {
  int status = -1;  // the exit status; -1 when it was still running (serving, or stuck) and was killed
  std::string out;
  std::string err;
};

// Runs the service program to its end, at most `limitMs`. A server that reaches its start line is
// serving: it is ended at once.
ProgramRun runService(std::vector<std::string> arguments, int limitMs = 60000) {
  ProgramRun run;
  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return run;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  arguments.insert(arguments.begin(), QV_SERVICE_EXE);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, QV_SERVICE_EXE, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  bool serving = false;
  pollfd ends[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  while (spawned == 0 && (ends[0].fd >= 0 || ends[1].fd >= 0) && !serving &&
         std::chrono::steady_clock::now() < deadline) {
    if (poll(ends, 2, 100) <= 0) continue;
    for (int at = 0; at < 2; ++at) {
      if (ends[at].fd < 0 || ends[at].revents == 0) continue;
      char bytes[4096];
      ssize_t got = read(ends[at].fd, bytes, sizeof bytes);
      if (got <= 0) {
        close(ends[at].fd);
        ends[at].fd = -1;
        continue;
      }
      (at == 0 ? run.out : run.err).append(bytes, static_cast<std::size_t>(got));
    }
    serving = run.out.find("; listening on ") != std::string::npos;
  }
  for (const pollfd& end : ends) {
    if (end.fd >= 0) close(end.fd);
  }
  if (spawned != 0) return run;
  int status = 0;
  if (ends[0].fd >= 0 || ends[1].fd >= 0 || serving) kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) && !serving ? WEXITSTATUS(status) : -1;
  return run;
}

// A tmpfs of `size` on a fresh folder (we run as root), unmounted in every path.
class SmallDisk {
 public:
  explicit SmallDisk(const std::string& size) : path_(folder_.file("disk")) {
    std::filesystem::create_directories(path_);
    if (mount("tmpfs", path_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, ("size=" + size).c_str()) == 0) {
      mounted_ = true;
    } else {
      error_ = std::string("cannot mount a tmpfs: ") + std::strerror(errno);
    }
  }
  ~SmallDisk() {
    if (mounted_ && umount(path_.c_str()) != 0) umount2(path_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& error() const { return error_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  TempFolder folder_;
  std::string path_;
  bool mounted_ = false;
  std::string error_;
};

// A file made immutable (chattr +i): the one read-only that holds for root on a writable file system,
// since root ignores file modes. Made mutable again in every path.
class ImmutableFile {
 public:
  explicit ImmutableFile(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    int flags = 0;
    if (fd_ >= 0 && ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
      flags |= FS_IMMUTABLE_FL;
      immutable_ = ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0;
    }
    if (!immutable_) error_ = std::string("cannot make ") + path + " immutable: " + std::strerror(errno);
  }
  ~ImmutableFile() {
    int flags = 0;
    if (immutable_ && ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
      flags &= ~FS_IMMUTABLE_FL;
      ioctl(fd_, FS_IOC_SETFLAGS, &flags);
    }
    if (fd_ >= 0) close(fd_);
  }
  ImmutableFile(const ImmutableFile&) = delete;
  ImmutableFile& operator=(const ImmutableFile&) = delete;
  bool immutable() const { return immutable_; }
  const std::string& error() const { return error_; }

 private:
  int fd_;
  bool immutable_ = false;
  std::string error_;
};

// `count` public address:port lines, 1.0.0.0 upwards.
std::string addressLines(int count, int first = 0) {
  std::string lines;
  for (int i = first; i < first + count; ++i) {
    lines += "1." + std::to_string(i >> 16 & 0xFF) + "." + std::to_string(i >> 8 & 0xFF) + "." +
             std::to_string(i & 0xFF) + ":8080\n";
  }
  return lines;
}

std::vector<std::string> storedAddresses(const std::string& db) {
  std::vector<std::string> result;
  for (const StoredProxy& proxy : openStore(db)->all())
    result.push_back(proxy.address + ":" + std::to_string(proxy.port));
  return result;
}

TEST(ServiceStoreFaults, AFullDiskIsReportedAndWhatTheStoreHeldStays) {
  SmallDisk disk("256k");
  ASSERT_TRUE(disk.mounted()) << disk.error();
  TempFolder folder;
  std::string big = folder.write("big.txt", addressLines(20000));

  // A fresh store: nothing of the source fits.
  ProgramRun fresh = runService({"import", "--db", disk.file("fresh.db"), big});
  EXPECT_EQ(fresh.status, 1) << fresh.out << fresh.err;
  EXPECT_EQ(fresh.out.find("added"), std::string::npos) << fresh.out;
  EXPECT_NE(fresh.err.find(big + ": not written: database or disk is full (0 of 20000 entries)"), std::string::npos)
      << fresh.err;
  EXPECT_TRUE(storedAddresses(disk.file("fresh.db")).empty());

  // A store that already holds entries: the new source is refused whole, the old entries all stay.
  SmallDisk second("256k");
  ASSERT_TRUE(second.mounted()) << second.error();
  std::string small = folder.write("small.txt", addressLines(300, 30000));
  ProgramRun first = runService({"import", "--db", second.file("held.db"), small});
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  std::vector<std::string> held = storedAddresses(second.file("held.db"));
  ASSERT_EQ(held.size(), 300u);
  ProgramRun full = runService({"import", "--db", second.file("held.db"), big});
  EXPECT_EQ(full.status, 1) << full.out << full.err;
  EXPECT_NE(full.err.find(big + ": not written: database or disk is full (0 of 20000 entries)"), std::string::npos)
      << full.err;
  EXPECT_EQ(full.out.find(big + ": added"), std::string::npos) << full.out;
  EXPECT_NE(full.out.find("300 entries in the pool"), std::string::npos) << full.out;
  EXPECT_EQ(storedAddresses(second.file("held.db")), held);
  EXPECT_EQ(pragmaOf(second.file("held.db"), "quick_check"), "ok");
}

// Fills what is left of the disk holding `path`'s folder.
void fillTheDisk(const std::string& path) {
  std::ofstream filler(path, std::ios::binary);
  const std::string block(4096, 'x');
  while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
  }
}

TEST(ServiceStoreFaults, ABatchOfOutcomesThatDoesNotFitWritesNothing) {
  SmallDisk disk("1m");
  ASSERT_TRUE(disk.mounted()) << disk.error();
  TempFolder folder;
  ASSERT_EQ(runService({"import", "--db", disk.file("pool.db"), folder.write("list.txt", addressLines(3000))}).status,
            0);
  std::unique_ptr<PoolStore> store = openStore(disk.file("pool.db"));
  std::vector<CheckRecord> records;
  for (const StoredProxy& proxy : store->all()) records.push_back({proxy.id, true, 25, 1000});
  fillTheDisk(disk.file("filler"));

  std::string error;
  EXPECT_FALSE(store->recordChecks(records, error));
  EXPECT_EQ(error, "database or disk is full");
  std::vector<StoredProxy> after;
  ASSERT_TRUE(store->all(after, error)) << error;
  ASSERT_EQ(after.size(), 3000u);
  for (const StoredProxy& proxy : after) ASSERT_EQ(proxy.lastChecked, 0) << proxy.address;
}

TEST(ServiceStoreFaults, AStoreHeldByAnotherWriterIsWaitedOnOnceThenReported) {
  TempFolder folder;
  std::string db = folder.file("pool.db");
  std::string list = folder.write("list.txt", addressLines(20));
  openStore(db)->add({{"1.45.0.1", 80, "", "", ""}}, "before", 0);
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

  // A short bound instead of the default 10 s.
  std::string error;
  std::unique_ptr<PoolStore> store = PoolStore::open(db, error, {.busyTimeoutMs = 500});
  ASSERT_TRUE(store) << error;
  Captured out;
  Captured errors;
  auto started = std::chrono::steady_clock::now();
  int status = runImport(*store, {list}, nullptr, out.file, errors.file);
  auto waited = std::chrono::steady_clock::now() - started;
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);

  EXPECT_EQ(status, 1);
  EXPECT_EQ(out.text(), "1 entries in the pool\n");
  EXPECT_EQ(errors.text(), list + ": not written: store busy: another process holds it (0 of 20 entries)\n");
  // Twenty lines, two statements each that would wait 0.5 s on their own: waiting once is far below that.
  EXPECT_LT(waited, std::chrono::seconds(10)) << "waited more than once";
  EXPECT_EQ(storedAddresses(db), std::vector<std::string>{"1.45.0.1:80"});
}

TEST(ServiceStoreFaults, AReadOnlyStoreIsReportedWithTheStoresMessage) {
  TempFolder folder;
  std::string db = folder.file("pool.db");
  std::string one = folder.write("one.txt", "1.45.3.7:8080\n");
  std::string two = folder.write("two.txt", "1.45.3.8:8080\n");
  ASSERT_EQ(runService({"import", "--db", db, one}).status, 0);
  ProgramRun run;
  {
    ImmutableFile readOnly(db);
    ASSERT_TRUE(readOnly.immutable()) << readOnly.error();
    run = runService({"import", "--db", db, two});
  }
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.err.find(two + ": not written: attempt to write a readonly database (0 of 1 entries)"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.out.find("merged"), std::string::npos) << run.out;
  EXPECT_EQ(storedAddresses(db), std::vector<std::string>{"1.45.3.7:8080"});
}

// Overwrites the type byte of the proxies table's middle leaf page: a table page damaged in the
// middle of the file.
void damageATablePage(const std::string& db) {
  sqlite3* raw = nullptr;
  sqlite3_stmt* statement = nullptr;
  std::int64_t page = 0;
  std::int64_t pageSize = 0;
  ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
  ASSERT_EQ(sqlite3_prepare_v2(raw,
                               "SELECT pageno, (SELECT page_size FROM pragma_page_size) FROM dbstat"
                               " WHERE name = 'proxies' AND pagetype = 'leaf' ORDER BY pageno",
                               -1, &statement, nullptr),
            SQLITE_OK);
  std::vector<std::int64_t> pages;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    pages.push_back(sqlite3_column_int64(statement, 0));
    pageSize = sqlite3_column_int64(statement, 1);
  }
  sqlite3_finalize(statement);
  sqlite3_close(raw);
  ASSERT_GT(pages.size(), 10u);
  page = pages[pages.size() / 2];
  std::fstream file(db, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp((page - 1) * pageSize);
  file.put('\x55');
  ASSERT_TRUE(file.good());
}

TEST(ServiceStoreFaults, ADamagedStoreIsRefusedNeverServedInPart) {
  TempFolder folder;
  std::string db = folder.file("pool.db");
  std::string list = folder.write("list.txt", addressLines(20000));
  ASSERT_EQ(runService({"import", "--db", db, list}).status, 0);
  damageATablePage(db);

  std::string error;
  EXPECT_FALSE(PoolStore::open(db, error)) << "opened a damaged store";
  EXPECT_NE(error.find("damaged"), std::string::npos) << error;

  ProgramRun serve = runService({"--port", "0", "--db", db});
  EXPECT_EQ(serve.status, 1) << serve.out << serve.err;
  EXPECT_NE(serve.err.find("quorvelip-service: " + db + ": the store is damaged"), std::string::npos) << serve.err;
  EXPECT_EQ(serve.out, "");

  ProgramRun import = runService({"import", "--db", db, folder.write("one.txt", "1.45.3.7:8080\n")});
  EXPECT_EQ(import.status, 1) << import.out << import.err;
  EXPECT_NE(import.err.find("quorvelip-service: " + db + ": the store is damaged"), std::string::npos) << import.err;
}

class ServiceStoreCap : public StoreOnEngine {};
INSTANTIATE_TEST_SUITE_P(Engines, ServiceStoreCap, testing::Values(Engine::sqlite, Engine::postgres), engineName);

TEST_P(ServiceStoreCap, AnImportPastTheEntryCapIsRefusedWhole) {
  TempFolder folder;
  std::string db = newTarget();
  std::string first = folder.write("first.txt", addressLines(6));
  std::string second = folder.write("second.txt", addressLines(6, 3));  // three already held, three new
  ASSERT_EQ(runService({"import", "--db", db, "--max-entries", "8", first}).status, 0);
  ProgramRun over = runService({"import", "--db", db, "--max-entries", "8", second});
  EXPECT_EQ(over.status, 1) << over.out << over.err;
  EXPECT_NE(
      over.err.find(second + ": not written: the store would hold 9 entries, over its cap of 8 (it holds 6, 3 would"
                             " be new) (0 of 6 entries)"),
      std::string::npos)
      << over.err;
  EXPECT_EQ(storedAddresses(db).size(), 6u);
  EXPECT_EQ(runService({"import", "--db", db, "--max-entries", "9", second}).status, 0);
  EXPECT_EQ(storedAddresses(db).size(), 9u);

  if (onPostgres()) return;
  // The server's own pool file passes the cap as well.
  std::string pool = (sourceFolder() / "service" / "pool.txt").string();
  ProgramRun serve = runService({"--port", "0", "--pool", pool, "--max-entries", "10000"});
  EXPECT_EQ(serve.status, 1) << serve.out << serve.err;
  EXPECT_NE(serve.err.find(pool + ": not written: the store would hold 10772 entries, over its cap of 10000"),
            std::string::npos)
      << serve.err;
}

}  // namespace

// The promise between the checker and the store: an outcome is reported (printed by `check`, settled
// to its caller) only once it is committed, a batch the store refuses is kept whole until it is taken,
// and "not checked" is never written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sqlite3.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fakeProxies.h"
#include "service/check/checkCommand.h"
#include "service/check/checkWriter.h"
#include "service_testing.h"

namespace {

// A commit the test holds until it lets it through, or refuses.
class HeldCommit {
 public:
  bool operator()(const std::vector<CheckRecord>& records, std::string& error) {
    std::unique_lock lock(mutex_);
    ++calls_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
    if (refuse_) {
      error = "refused by the test";
      return false;
    }
    written_.insert(written_.end(), records.begin(), records.end());
    return true;
  }
  void let(bool open, bool refuse) {
    std::lock_guard lock(mutex_);
    open_ = open;
    refuse_ = refuse;
    changed_.notify_all();
  }
  void waitForCalls(int calls) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return calls_ >= calls; });
  }
  int calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::vector<CheckRecord> written() {
    std::lock_guard lock(mutex_);
    return written_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  bool refuse_ = false;
  int calls_ = 0;
  std::vector<CheckRecord> written_;
};

// What the writer settled and reported, as the writing thread hands it over.
struct Seen {
  std::mutex mutex;
  std::vector<std::int64_t> settled;
  std::vector<std::string> reports;

  std::size_t settledCount() {
    std::lock_guard lock(mutex);
    return settled.size();
  }
};

// The writing thread of a test, stopped and joined however the test ends (the commit let through
// first, so it cannot hold the join).
class WritingThread {
 public:
  WritingThread(CheckWriter& writer, HeldCommit& commit) : writer_(writer), commit_(commit) {
    thread_ = std::thread([this] {
      while (running_) {
        writer_.waitForWork(20);
        writer_.write();
      }
    });
  }
  ~WritingThread() { stop(); }
  void stop() {
    if (!thread_.joinable()) return;
    running_ = false;
    commit_.let(true, false);
    writer_.wake();
    thread_.join();
  }

 private:
  CheckWriter& writer_;
  HeldCommit& commit_;
  std::atomic<bool> running_{true};
  std::thread thread_;
};

DueProxy proxy(std::int64_t id) {
  return {id, "127.0.0.1", static_cast<std::uint16_t>(1000 + id)};
}

void waitUntil(const std::function<bool()>& done) {
  for (int waited = 0; !done() && waited < 10000; ++waited) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(CheckWriter, SettlesABatchOnlyOnceCommittedAndKeepsARefusedOneWhole) {
  HeldCommit commit;
  Seen seen;
  WriterTiming quick{.batchMs = 5, .batchSize = 1000, .firstRetryMs = 5, .maxRetryMs = 20, .reportEveryMs = 60000};
  CheckWriter writer(
      [&](const std::vector<CheckRecord>& records, std::string& error) { return commit(records, error); },
      [&](const std::vector<SettledCheck>& settled) {
        std::lock_guard lock(seen.mutex);
        for (const SettledCheck& check : settled) seen.settled.push_back(check.proxy.id);
      },
      [&](const std::string& message) {
        std::lock_guard lock(seen.mutex);
        seen.reports.push_back(message);
      },
      quick);
  WritingThread writing(writer, commit);

  writer.add(proxy(1), {0, CheckVerdict::alive, 40});
  writer.add(proxy(2), {0, CheckVerdict::refused, 0});
  writer.add(proxy(3), {0, CheckVerdict::notChecked, 0});
  commit.waitForCalls(1);
  // The commit is held: only "not checked", which is never written, may be settled yet.
  waitUntil([&] { return seen.settledCount() >= 1; });
  {
    std::lock_guard lock(seen.mutex);
    EXPECT_EQ(seen.settled, std::vector<std::int64_t>{3});
  }
  EXPECT_EQ(writer.waiting(), 2u);
  commit.let(true, false);
  waitUntil([&] { return seen.settledCount() == 3; });
  std::vector<CheckRecord> written = commit.written();
  ASSERT_EQ(written.size(), 2u) << "not checked is not written";
  EXPECT_EQ(written[0].id, 1);
  EXPECT_TRUE(written[0].alive);
  EXPECT_EQ(written[0].latencyMs, 40u);
  EXPECT_EQ(written[1].id, 2);
  EXPECT_FALSE(written[1].alive);

  // Refused: kept, tried again and again, reported once; what arrives meanwhile joins it.
  commit.let(true, true);
  int before = commit.calls();
  writer.add(proxy(4), {0, CheckVerdict::alive, 10});
  writer.add(proxy(5), {0, CheckVerdict::timedOut, 0});
  commit.waitForCalls(before + 3);
  writer.add(proxy(6), {0, CheckVerdict::wrongAnswer, 0});
  commit.waitForCalls(before + 6);
  EXPECT_EQ(seen.settledCount(), 3u) << "nothing refused is settled";
  EXPECT_EQ(writer.waiting(), 3u);
  commit.let(true, false);
  waitUntil([&] { return seen.settledCount() == 6; });
  writing.stop();

  written = commit.written();
  ASSERT_EQ(written.size(), 5u);
  std::vector<std::int64_t> ids;
  for (std::size_t at = 2; at < written.size(); ++at) ids.push_back(written[at].id);
  EXPECT_EQ(ids, (std::vector<std::int64_t>{4, 5, 6})) << "the refused batch whole, once, in order";
  std::lock_guard lock(seen.mutex);
  ASSERT_EQ(seen.reports.size(), 2u);
  // 4 and 5 may have come one batch or two.
  EXPECT_TRUE(seen.reports[0].starts_with("store not writable: refused by the test; ")) << seen.reports[0];
  EXPECT_TRUE(seen.reports[0].ends_with(" waiting")) << seen.reports[0];
  EXPECT_EQ(seen.reports[1], "store writable again: 3 outcomes written");
}

TEST(CheckWriter, GivesUpTheLastWritesOnlyAfterItsDeadline) {
  HeldCommit commit;
  commit.let(true, true);
  std::vector<std::string> reports;
  CheckWriter writer(
      [&](const std::vector<CheckRecord>& records, std::string& error) { return commit(records, error); },
      [](const std::vector<SettledCheck>&) { ADD_FAILURE() << "settled though refused"; },
      [&](const std::string& message) { reports.push_back(message); },
      {.batchMs = 5, .batchSize = 1000, .firstRetryMs = 5, .maxRetryMs = 20, .reportEveryMs = 60000});
  writer.add(proxy(1), {0, CheckVerdict::alive, 1});
  EXPECT_EQ(writer.flush(200), 1u);
  EXPECT_GE(commit.calls(), 3) << "tried again until the deadline";
  EXPECT_EQ(reports.size(), 1u);
}

// `check` prints an outcome only once it is in the store: while another connection holds the store's
// lock, every check ends but nothing is printed; once it lets go, exactly the committed ones are.
TEST(CheckCommand, PrintsAnOutcomeOnlyOnceItIsCommitted) {
  TempFolder folder;
  CheckTargetServer target;
  FakeProxyFarm farm;
  std::string db = folder.file("pool.db");
  // Answers come late, so the store can be taken between the round's claim and its first outcome.
  std::vector<NewProxy> proxies = addToFarm(farm, {FakeKind::ownPage, 800}, 20);
  std::unique_ptr<PoolStore> store = openStore(db);
  store->add(proxies, "farm", 0);
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &other), SQLITE_OK);

  int ends[2];
  ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
  std::FILE* out = fdopen(ends[1], "w");
  CheckSettings settings;
  settings.checkUrl = target.checkUrl();
  settings.key = target.key();
  std::FILE* quiet = std::fopen("/dev/null", "w");
  int status = -1;
  std::thread check([&] { status = runCheck(*store, settings, out, quiet); });

  waitUntil([&] { return farm.accepted() == 20; });
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  // Eight answers at a time, each 0.8 s late: all of them reach the writer.
  std::this_thread::sleep_for(std::chrono::milliseconds(3000));
  pollfd readable{ends[0], POLLIN, 0};
  EXPECT_EQ(poll(&readable, 1, 0), 0) << "printed while the commit was held";
  EXPECT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  check.join();
  std::fclose(out);
  std::fclose(quiet);
  sqlite3_close(other);

  std::string printed;
  char buffer[4096];
  for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;) printed.append(buffer, got);
  close(ends[0]);
  EXPECT_EQ(status, 0);
  std::size_t lines = 0;
  for (const StoredProxy& stored : openStore(db)->all()) {
    std::string line = stored.address + ":" + std::to_string(stored.port) + " wrongAnswer\n";
    EXPECT_NE(printed.find(line), std::string::npos) << line;
    EXPECT_EQ(stored.failures, 1) << line << " printed but not written";
    ++lines;
  }
  EXPECT_EQ(lines, 20u);
  EXPECT_NE(printed.find("checked 20 in "), std::string::npos) << printed;
}

}  // namespace

// A list far longer than one chunk of the import, on both engines: it is read in blocks and written in
// chunks as it is read, yet lands as one transaction, all of it or nothing, with the report of a list
// read whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "service/serviceOptions.h"
#include "service/sources/importCommand.h"
#include "storeEngines.h"

namespace {

constexpr int kLines = 25000;  // two chunks and a half

// Line `i` of the long list: a public address of its own.
std::string addressAt(int i) {
  return "21." + std::to_string(i >> 16) + "." + std::to_string((i >> 8) & 0xFF) + "." + std::to_string(i & 0xFF);
}

std::string lineAt(int i) {
  return addressAt(i) + ":" + std::to_string(1000 + i % 5000);
}

// The long list, with `extra` lines put in after line `at` (1-based numbers of the file stay
// predictable: the extra lines come right after it).
std::string longList(int at = 0, const std::string& extra = {}) {
  std::string text;
  for (int i = 0; i < kLines; ++i) {
    text += lineAt(i) + "\n";
    if (i + 1 == at) text += extra;
  }
  return text;
}

std::vector<std::string> namesOf(PoolStore& store) {
  std::vector<std::string> names;
  for (const StoredProxy& proxy : store.all()) names.push_back(proxy.address + ":" + std::to_string(proxy.port));
  return names;
}

class ServiceImportStream : public StoreOnEngine {
 protected:
  // Imports `text` as a file into `store`; true when written.
  bool import(PoolStore& store, const std::string& name, const std::string& text) {
    source_ = folder_.write(name, text);
    Captured out;
    Captured errors;
    bool written = importSource(store, source_, nullptr, out.file, errors.file);
    out_ = out.text();
    errors_ = errors.text();
    return written;
  }

  std::string source_;
  std::string out_;
  std::string errors_;
};
INSTANTIATE_TEST_SUITE_P(Engines, ServiceImportStream, testing::Values(Engine::sqlite, Engine::postgres), engineName);

TEST_P(ServiceImportStream, AListOfManyChunksLandsWholeInItsOrderWithRepeatsMergedAcrossChunks) {
  std::unique_ptr<PoolStore> store = fresh();
  // A comment longer than a read block, CR LF ends, a repeat of the first chunk's sixth entry in the last
  // chunk naming how to reach it, a bad line, a pool file's block (its entries come last), no final "\n".
  std::string text = "# " + std::string(300 * 1024, 'x') + "\r\n" +
                     longList(20000, "socks5://alice:secret@" + lineAt(5) + "\r\n21.255.0.1:0\n" +
                                         utf8(u8"113.0.2.0/30 18186 广东广州 电信\n"));
  text += "21.255.0.2:8080";
  ASSERT_TRUE(import(*store, "long.txt", text)) << errors_;
  EXPECT_EQ(out_, source_ + ": added " + std::to_string(kLines + 3) + ", merged 1, skipped 1\n");
  EXPECT_EQ(errors_, source_ + ": line 20003: bad port\n");

  std::vector<std::string> expected;
  for (int i = 0; i < kLines; ++i) expected.push_back(lineAt(i));
  expected.insert(expected.end(), {"21.255.0.2:8080", "113.0.2.1:18186", "113.0.2.2:18186"});
  EXPECT_EQ(namesOf(*store), expected);
  std::vector<StoredProxy> stored = store->all();
  EXPECT_EQ(stored[5].scheme, kSocks5);
  EXPECT_EQ(stored[5].username, "alice");
  EXPECT_EQ(stored[5].password, "secret");
  EXPECT_EQ(stored[kLines + 1].province, utf8(u8"广东广州"));
}

TEST_P(ServiceImportStream, ASourcePastTheCapIsRefusedWholeThoughItsFirstChunksWereWritten) {
  std::unique_ptr<PoolStore> store = fresh({.maxEntries = 15000});
  ASSERT_TRUE(import(*store, "held.txt", "1.45.3.7:8080\n1.45.3.8:8080\n")) << errors_;
  ASSERT_FALSE(import(*store, "long.txt", longList(kLines - 5, "21.255.0.1:0\n")));
  EXPECT_EQ(out_, "");
  EXPECT_EQ(errors_, source_ + ": line " + std::to_string(kLines - 4) + ": bad port\n" + source_ +
                         ": not written: the store would hold 25002 entries, over its cap of 15000 (it holds 2, 25000"
                         " would be new) (0 of 25000 entries)\n");
  EXPECT_EQ(namesOf(*store), (std::vector<std::string>{"1.45.3.7:8080", "1.45.3.8:8080"}));
}

// A row of the third chunk is refused as it is written (SQLite: by a trigger on the table; PostgreSQL: on
// the import's own table, which the chunks are copied into as they come): the first two chunks are
// undone, the rest of the list is still read and reported, and the store is free again at once.
TEST_P(ServiceImportStream, AWriteRefusedInALaterChunkUndoesTheEarlierOnesAndTheRestIsStillReported) {
  std::string target = newTarget();
  std::unique_ptr<PoolStore> store = open(target);
  ASSERT_TRUE(import(*store, "held.txt", "1.45.3.7:8080\n")) << errors_;
  RawConnection raw(engine(), target);
  const std::string refused = addressAt(22000);
  std::string error;
  if (onPostgres()) {
    ASSERT_TRUE(
        raw.run("CREATE FUNCTION refuse_row() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
                " IF NEW.address = '" +
                    refused +
                    "' THEN RAISE EXCEPTION 'refused by the test'; END IF; RETURN NEW; END $$;"
                    "CREATE FUNCTION arm() RETURNS event_trigger LANGUAGE plpgsql AS $$ BEGIN"
                    " IF EXISTS (SELECT 1 FROM pg_event_trigger_ddl_commands()"
                    " WHERE object_identity LIKE '%.import_rows') THEN"
                    " CREATE TRIGGER refuse BEFORE INSERT ON import_rows FOR EACH ROW"
                    " EXECUTE FUNCTION refuse_row(); END IF; END $$;"
                    "CREATE EVENT TRIGGER arm ON ddl_command_end WHEN TAG IN ('CREATE TABLE')"
                    " EXECUTE FUNCTION arm();",
                &error))
        << error;
  } else {
    ASSERT_TRUE(raw.run("CREATE TRIGGER refuse BEFORE INSERT ON proxies WHEN NEW.address = '" + refused +
                            "' BEGIN SELECT RAISE(ABORT, 'refused by the test'); END;",
                        &error))
        << error;
  }

  ASSERT_FALSE(import(*store, "long.txt", longList(kLines - 1, "21.255.0.1:0\n")));
  EXPECT_EQ(out_, "");
  EXPECT_EQ(errors_, source_ + ": line " + std::to_string(kLines) + ": bad port\n" + source_ +
                         ": not written: refused by the test (0 of 25000 entries)\n");
  EXPECT_EQ(namesOf(*store), std::vector<std::string>{"1.45.3.7:8080"});

  // Nothing of the failed import holds the store: another connection writes, then this one again.
  ASSERT_TRUE(raw.run(onPostgres() ? "DROP EVENT TRIGGER arm" : "DROP TRIGGER refuse", &error)) << error;
  ASSERT_TRUE(raw.run("UPDATE proxies SET city = 'there'", &error)) << error;
  ASSERT_TRUE(import(*store, "again.txt", "1.45.3.8:8080\n")) << errors_;
  EXPECT_EQ(out_, source_ + ": added 1, merged 0, skipped 0\n");
  EXPECT_EQ(store->count(), 2u);
}

// Standard input for the length of one import: `fd` in place of this process's own.
class StandardInputFrom {
 public:
  explicit StandardInputFrom(int fd) : saved_(dup(STDIN_FILENO)) { dup2(fd, STDIN_FILENO); }
  ~StandardInputFrom() {
    dup2(saved_, STDIN_FILENO);
    close(saved_);
  }
  StandardInputFrom(const StandardInputFrom&) = delete;
  StandardInputFrom& operator=(const StandardInputFrom&) = delete;

 private:
  int saved_;
};

// "-" is standard input: a pipe far beyond the pipe's own buffer, written while the import reads it, is
// read as a file is; a regular file given as standard input is read in place, a page as a page.
TEST(ServiceImportStandardInput, APipedListAndARedirectedPageAreReadAsFilesAre) {
  std::unique_ptr<PoolStore> store = openStore(":memory:");
  int ends[2];
  ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
  const std::string list = longList(kLines - 1, "21.255.0.1:0\n");
  Captured out;
  Captured errors;
  bool written = false;
  {
    StandardInputFrom piped(ends[0]);
    close(ends[0]);
    std::thread writer([&] {
      for (std::string_view rest = list; !rest.empty();) {
        ssize_t put = write(ends[1], rest.data(), rest.size());
        if (put <= 0) break;
        rest.remove_prefix(static_cast<std::size_t>(put));
      }
      close(ends[1]);
    });
    written = importSource(*store, "-", nullptr, out.file, errors.file);
    writer.join();
  }
  EXPECT_TRUE(written);
  EXPECT_EQ(out.text(), "-: added 25000, merged 0, skipped 1\n");
  EXPECT_EQ(errors.text(), "-: line " + std::to_string(kLines) + ": bad port\n");
  EXPECT_EQ(store->count(), 25000u);
  EXPECT_EQ(store->all().back().source, "-");

  TempFolder folder;
  int page = open(folder.write("page.html", "<p>fast: 1.45.3.7:8080, " + lineAt(0) + "</p>").c_str(), O_RDONLY);
  ASSERT_GE(page, 0);
  Captured pageOut;
  Captured pageErrors;
  {
    StandardInputFrom redirected(page);
    written = importSource(*store, "-", nullptr, pageOut.file, pageErrors.file);
  }
  close(page);
  EXPECT_TRUE(written);
  EXPECT_EQ(pageOut.text(), "-: found 2 (inline 2)\n-: added 1, merged 1, skipped 0\n");
  EXPECT_EQ(pageErrors.text(), "");

  std::optional<ServiceOptions> options = parseServiceOptions({"import", "-", "a.txt"}, "");
  ASSERT_TRUE(options);
  EXPECT_EQ(options->sources, (std::vector<std::string>{"-", "a.txt"}));
  EXPECT_FALSE(parseServiceOptions({"check", "--check-url", "http://127.0.0.1/", "-"}, "")) << "import's alone";
}

}  // namespace

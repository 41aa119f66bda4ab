// What makes a check answer genuine: its format and MAC, the key file both sides read, and the check
// URL and key options the service takes.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "service/check/checkAnswer.h"
#include "service/check/checkKey.h"
#include "service/check/checkUrl.h"
#include "service/serviceOptions.h"
#include "service_testing.h"

namespace {

const CheckKey kKey{std::string(32, 'k')};
const std::string kToken = "0123456789abcdef0123456789abcdef";

// `lines` with the MAC line a target would put under them.
std::string signedWith(const CheckKey& key, const std::string& lines) {
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), key.bytes.data(), static_cast<int>(key.bytes.size()),
       reinterpret_cast<const unsigned char*>(lines.data()), lines.size(), mac, &length);
  std::string hex;
  for (unsigned int at = 0; at < length; ++at) {
    hex += "0123456789abcdef"[mac[at] >> 4];
    hex += "0123456789abcdef"[mac[at] & 0xF];
  }
  return lines + "mac " + hex + "\n";
}

std::string fileContent(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(CheckAnswer, ReadsBackTheTokenAndFactsItWasWrittenWith) {
  std::vector<AnswerField> facts = {{"seen-from", "127.0.0.9"}, {"via", ""}};
  std::string answer = checkTargetAnswer(kKey, kToken, facts);
  std::optional<std::vector<AnswerField>> read = readCheckAnswer(answer, kKey);
  ASSERT_TRUE(read);
  facts.insert(facts.begin(), {"token", kToken});
  EXPECT_EQ(*read, facts);
  EXPECT_TRUE(answersToken(answer, kKey, kToken));
  EXPECT_FALSE(answersToken(answer, kKey, "0123456789abcdef0123456789abcdee")) << "the answer to another token";
  EXPECT_LE(checkTargetAnswer(kKey, std::string(kMaxCheckTokenLength, 'f')).size(), 200u) << "small and cheap";
}

// Every answer a proxy could send without the key, or by changing a genuine one, is refused.
TEST(CheckAnswer, RefusesEveryAnswerNotSignedForThisTokenUnderThisKey) {
  const std::string genuine = checkTargetAnswer(kKey, kToken, {{"via", "x"}});
  const std::size_t macAt = genuine.find("mac ");
  std::string changedFact = genuine;
  changedFact.replace(genuine.find("via x"), 5, "via y");
  std::string changedMac = genuine;
  changedMac[macAt + 4] = changedMac[macAt + 4] == '0' ? '1' : '0';
  std::string upperMac = genuine;
  for (std::size_t at = macAt + 4; at + 1 < upperMac.size(); ++at)
    upperMac[at] = static_cast<char>(toupper(upperMac[at]));
  std::vector<std::pair<std::string, std::string>> forged = {
      {"the old format", "quorvelip-check " + kToken + "\n"},
      {"another key", checkTargetAnswer(CheckKey{std::string(32, 'j')}, kToken)},
      {"a changed fact", changedFact},
      {"a changed MAC", changedMac},
      {"a MAC in capitals", upperMac == genuine ? "" : upperMac},
      {"no MAC", genuine.substr(0, macAt)},
      {"a byte before", " " + genuine},
      {"a line before", "<html>\n" + genuine},
      {"a byte after", genuine + "\n"},
      {"a page around", "<html><body>\n" + genuine + "</body></html>\n"},
      {"no final line feed", genuine.substr(0, genuine.size() - 1)},
      {"CR LF lines", "quorvelip-check 2\r\n" + genuine.substr(18)},
      {"empty", ""},
      {"too long", genuine + std::string(kMaxCheckAnswerBytes, 'x')},
  };
  for (const auto& [what, body] : forged) EXPECT_FALSE(readCheckAnswer(body, kKey)) << what;
  EXPECT_FALSE(readCheckAnswer(genuine, CheckKey{})) << "no key, no answer";

  EXPECT_THROW(checkTargetAnswer(CheckKey{}, kToken), std::invalid_argument);
  EXPECT_THROW(checkTargetAnswer(kKey, ""), std::invalid_argument);
}

// Signed right, shaped wrong: the MAC alone does not make an answer.
TEST(CheckAnswer, RefusesWellSignedBodiesOfTheWrongShape) {
  const std::string head = "quorvelip-check 2\n";
  ASSERT_EQ(signedWith(kKey, head + "token " + kToken + "\n"), checkTargetAnswer(kKey, kToken)) << "the helper";
  std::string many = head + "token " + kToken + "\n";
  for (std::size_t i = 0; i < kMaxAnswerFields; ++i) many += "f" + std::to_string(i) + " x\n";
  for (const std::string& lines :
       {head, head + "via x\ntoken " + kToken + "\n", head + "token " + kToken + "\ntoken " + kToken + "\n",
        head + "token " + kToken + "\nnospace\n", head + "token " + kToken + "\nVia x\n",
        head + "token " + kToken + "\nmac x\n", many, "quorvelip-check 1\ntoken " + kToken + "\n"}) {
    EXPECT_FALSE(readCheckAnswer(signedWith(kKey, lines), kKey)) << lines;
  }
  for (const std::vector<AnswerField>& bad :
       std::vector<std::vector<AnswerField>>{{{"token", "x"}},
                                             {{"mac", "x"}},
                                             {{"Bad", "x"}},
                                             {{"a b", "x"}},
                                             {{"", "x"}},
                                             {{"via", "a\nb"}},
                                             {{"via", "x"}, {"via", "y"}},
                                             {{"via", std::string(kMaxAnswerValueLength + 1, 'x')}}}) {
    EXPECT_THROW(checkTargetAnswer(kKey, kToken, bad), std::invalid_argument) << bad[0].name;
  }
}

TEST(CheckKeyFile, IsCreatedOnceReadableOnlyByItsOwnerAndSharedByEveryoneWhoLoadsIt) {
  TempFolder folder;
  const std::string path = folder.file("check.key");
  // Eight at once, as services started together would: all end up with the one key in the file.
  std::vector<std::optional<CheckKey>> keys(8);
  std::vector<std::string> errors(keys.size());
  std::vector<std::thread> loaders;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    loaders.emplace_back([&, i] { keys[i] = loadCheckKey(path, errors[i]); });
  }
  for (std::thread& loader : loaders) loader.join();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    ASSERT_TRUE(keys[i]) << errors[i];
    EXPECT_EQ(keys[i]->bytes, fileContent(path));
  }
  EXPECT_EQ(keys[0]->bytes.size(), kCheckKeyBytes);
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.file(""))) ++files;
  EXPECT_EQ(files, 1u) << "no temporary file left behind";
  std::string error;
  EXPECT_NE(loadCheckKey(folder.file("other.key"), error)->bytes, keys[0]->bytes) << "a fresh key each time";
}

TEST(CheckKeyFile, RefusesAFileThatIsNoKeyAndSaysWhy) {
  TempFolder folder;
  std::string error;
  std::string copied = folder.write("copy.key", "a key given by hand, any bytes");
  EXPECT_EQ(loadCheckKey(copied, error)->bytes, "a key given by hand, any bytes");
  for (const std::string& content :
       {std::string(), std::string(kMinCheckKeyBytes - 1, 'x'), std::string(kMaxCheckKeyBytes + 1, 'x')}) {
    error.clear();
    EXPECT_FALSE(loadCheckKey(folder.write("bad.key", content), error)) << content.size();
    EXPECT_NE(error.find("bytes: a check key holds"), std::string::npos) << error;
  }
  EXPECT_FALSE(loadCheckKey(folder.file("no/such/folder/check.key"), error));
  EXPECT_NE(error.find("no/such/folder/check.key"), std::string::npos) << error;
}

TEST(CheckUrl, TakesHttpAndHttpsWithAHostAndNothingTheCheckerCannotUse) {
  for (const char* good : {"http://127.0.0.1:8088/check", "https://example.org/check?lang=en", "http://[::1]:80/",
                           "HTTP://127.0.0.1/check"}) {
    EXPECT_EQ(checkUrlProblem(good), "") << good;
  }
  std::vector<std::pair<std::string, std::string>> bad = {
      {"http://127.0.0.1:9/check#x", "fragment"},
      {"http://", "not a URL"},
      {"http://exa mple/", "not a URL"},
      {"ftp://127.0.0.1/check", "not http"},
      {"127.0.0.1/check", "not a URL"},
      {"http://user:pw@127.0.0.1/check", "user"},
      {"http://127.0.0.1:99999/", "not a URL"},
      {"http://127.0.0.1:0/", "port 0"},
      {"http://127.0.0.1:x/", "not a URL"},
      {"http://127.0.0.1/check?token=1", "token"},
      {"", "not a URL"},
      {std::string("http://a/\0b", 11), "not a URL"},
  };
  for (const auto& [url, why] : bad) EXPECT_NE(checkUrlProblem(url).find(why), std::string::npos) << url;
}

TEST(ServiceOptions, TakesACheckKeyAndSaysWhatIsWrongWithACheckUrl) {
  std::optional<ServiceOptions> serving =
      parseServiceOptions({"--check-url", "http://127.0.0.1:9/check", "--check-key", "/etc/q.key"}, "");
  ASSERT_TRUE(serving);
  EXPECT_EQ(serving->checkKey, "/etc/q.key");
  std::optional<ServiceOptions> checking =
      parseServiceOptions({"check", "--check-url", "http://127.0.0.1:9/check", "--check-key", "k"}, "");
  ASSERT_TRUE(checking);
  EXPECT_EQ(checking->checkKey, "k");
  EXPECT_EQ(parseServiceOptions({}, "")->checkKey, "") << "beside the executable unless given";
  EXPECT_FALSE(parseServiceOptions({"import", "--check-key", "k", "a.txt"}, ""));
  EXPECT_FALSE(parseServiceOptions({"--check-key", ""}, ""));

  std::string problem;
  EXPECT_FALSE(parseServiceOptions({"check", "--check-url", "http://127.0.0.1:9/check#x"}, "", &problem));
  EXPECT_EQ(problem, "--check-url 'http://127.0.0.1:9/check#x': a fragment (#) has no place in it");
}

TEST(ServiceOptions, TakesAConnectTimeoutApartFromTheCheckTimeout) {
  std::optional<ServiceOptions> defaults = parseServiceOptions({}, "");
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->connectTimeoutMs, 3000);
  EXPECT_EQ(defaults->timeoutMs, 5000);
  std::optional<ServiceOptions> checking =
      parseServiceOptions({"check", "--check-url", "http://127.0.0.1:9/check", "--connect-timeout", "800ms",
                           "--timeout", "12s", "--recheck-every", "2m", "--ip-db", "r.db", "--parallel", "10000"},
                          "");
  ASSERT_TRUE(checking);
  EXPECT_EQ(checking->connectTimeoutMs, 800);
  EXPECT_EQ(checking->timeoutMs, 12000);
  EXPECT_EQ(checking->recheckEverySeconds, 120);
  EXPECT_EQ(checking->ipDb, "r.db");
  EXPECT_EQ(checking->parallel, 10000u);
  EXPECT_EQ(parseServiceOptions({"--connect-timeout", "2s"}, "")->connectTimeoutMs, 2000);
  EXPECT_FALSE(parseServiceOptions({"--connect-timeout", "soon"}, ""));
  EXPECT_FALSE(parseServiceOptions({"--parallel", "10001"}, ""));
  EXPECT_FALSE(parseServiceOptions({"import", "--connect-timeout", "1s", "a.txt"}, ""));
}

TEST(ServiceOptions, TakesALeaseForWorkersAndForeverForTheCheckCommandOnly) {
  std::optional<ServiceOptions> defaults = parseServiceOptions({}, "");
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->leaseMs, 60000);
  EXPECT_FALSE(defaults->forever);
  std::optional<ServiceOptions> worker =
      parseServiceOptions({"check", "--forever", "--lease", "90s", "--db", "postgresql://u:p@127.0.0.1/pool",
                           "--check-url", "http://127.0.0.1:9/check"},
                          "");
  ASSERT_TRUE(worker);
  EXPECT_TRUE(worker->forever);
  EXPECT_EQ(worker->leaseMs, 90000);
  EXPECT_EQ(worker->db, "postgresql://u:p@127.0.0.1/pool");
  EXPECT_EQ(parseServiceOptions({"--lease", "5s"}, "")->leaseMs, 5000) << "a front-end with a worker inside";
  EXPECT_FALSE(parseServiceOptions({"--lease", "500ms"}, "")) << "under a second it would be all renewals";
  EXPECT_FALSE(parseServiceOptions({"--forever"}, ""));
  EXPECT_FALSE(parseServiceOptions({"import", "--lease", "5s", "a.txt"}, ""));
}

}  // namespace

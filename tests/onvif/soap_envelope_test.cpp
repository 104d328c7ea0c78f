#include "onvif/soap_envelope.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "onvif/crypto_text.h"
#include "onvif/xml_local.h"

namespace vdz::onvif {
namespace {

// zeep (python3-zeep) is an independent WS-Security implementation: its UsernameToken with a
// fixed nonce and time gives the digest ours must equal. Prints Password, Nonce, Created.
constexpr char kZeepScript[] = R"(
import datetime, sys
try:
    from lxml import etree
    from zeep.wsse.username import UsernameToken
except ImportError:
    sys.exit(3)
user, password, nonce, created = sys.argv[1:5]
env = etree.fromstring('<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope"><s:Header/><s:Body/></s:Envelope>')
token = UsernameToken(user, password, use_digest=True, nonce=nonce,
                      created=datetime.datetime.strptime(created, '%Y-%m-%dT%H:%M:%SZ'),
                      zulu_timestamp=True)
env, _ = token.apply(env, {})
ns = {'wsse': 'http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd',
      'wsu': 'http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd'}
for path in ('.//wsse:Password', './/wsse:Nonce', './/wsu:Created'):
    print(env.find(path, ns).text)
)";

// Runs argv, returns its standard output and exit code (-1 when it could not run).
int RunCapturing(const std::vector<std::string>& argv, std::string* out) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0)
    return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], 1);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    std::vector<char*> args;
    for (const std::string& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  char buffer[4096];
  ssize_t n = 0;
  while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0)
    out->append(buffer, static_cast<std::size_t>(n));
  close(pipe_fds[0]);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
    return -1;
  return WEXITSTATUS(status);
}

// Debian's interpreter: a python3 earlier on PATH (pyenv, a venv) lacks the package.
std::string Python() {
  return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

TEST(PasswordDigest, EqualsZeepsForFixedNonceTimeAndPassword) {
  struct Case {
    const char* user;
    const char* password;
    const char* nonce;  // zeep takes the nonce as text and uses its UTF-8 bytes
    std::int64_t created;
  };
  const Case cases[] = {
      {"admin", "admin12345", "0123456789abcdef", 1767323045},  // 2026-01-02T03:04:05Z
      {"operator", "p\xC3\xA4ss w<o>rd&\"'", "nonce-of-any-length", 1796859605},
      {"root", "", "x", 0},
  };
  for (const Case& c : cases) {
    const UsernameToken ours = MakeUsernameToken(c.user, c.password, c.created, c.nonce);
    std::string out;
    const int code = RunCapturing(
        {Python(), "-c", kZeepScript, c.user, c.password, c.nonce, ours.created}, &out);
    if (code == 3 || code == 127)
      GTEST_SKIP() << "python3-zeep is not installed";
    ASSERT_EQ(code, 0) << out;
    EXPECT_EQ(out, ours.password_digest + "\n" + ours.nonce + "\n" + ours.created + "\n") << c.user;
  }
}

TEST(PasswordDigest, MatchesTheProfilesFormula) {
  // Base64(SHA-1(nonce + created + password)), computed here from the primitives.
  const std::string nonce = Base64Decode("LKqI6G/AikKCQrN0zqZFlg==");
  ASSERT_EQ(nonce.size(), 16u);
  EXPECT_EQ(PasswordDigest(nonce, "2010-09-16T07:50:45Z", "userpassword"),
            Base64(Sha1(nonce + "2010-09-16T07:50:45Z" + "userpassword")));
  EXPECT_EQ(Base64(Sha1("abc")), "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=");  // FIPS 180 example
  EXPECT_EQ(UtcText(1767323045), "2026-01-02T03:04:05Z");
}

TEST(SoapEnvelope, CarriesTheTokenStampedOnTheCameraClock) {
  const std::int64_t camera = CameraNow(3600);
  const UsernameToken token = MakeUsernameToken("ad<min>", "secret", camera);
  for (const SoapVersion version : {SoapVersion::k12, SoapVersion::k11}) {
    const std::string text = BuildEnvelope(version, "<tds:GetDeviceInformation/>", &token);
    EXPECT_EQ(text.find("secret"), std::string::npos);
    tinyxml2::XMLDocument document;
    ASSERT_TRUE(ParseXml(&document, text));
    const tinyxml2::XMLElement* envelope = document.RootElement();
    EXPECT_EQ(NamespaceOfPrefix(envelope, "s"),
              version == SoapVersion::k12 ? kSoap12Namespace : kSoap11Namespace);
    const tinyxml2::XMLElement* user_token =
        Path(envelope, {"Header", "Security", "UsernameToken"});
    EXPECT_EQ(Text(Child(user_token, "Username")), "ad<min>");
    EXPECT_EQ(Text(Child(user_token, "Password")), token.password_digest);
    EXPECT_EQ(Attribute(Child(user_token, "Password"), "Type"), kPasswordDigestType);
    EXPECT_EQ(Base64Decode(Text(Child(user_token, "Nonce"))).size(), 16u);
    EXPECT_EQ(Text(Child(user_token, "Created")), UtcText(camera));
    EXPECT_NE(Path(envelope, {"Body", "GetDeviceInformation"}), nullptr);
  }
  // A fresh nonce every time.
  EXPECT_NE(MakeUsernameToken("a", "b", camera).nonce, token.nonce);
}

}  // namespace
}  // namespace vdz::onvif

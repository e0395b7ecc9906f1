// The bytes one client sends on one connection, handed through a socket pair
// to the connection handling, over a small program folder in developer mode
// and in store mode.
//
// Input: one control byte (bit 0: store mode; bit 7: the peer is a machine on
// the local network), then the client's bytes; the client then closes its
// sending side.
// Invariants: no crash, no hang; a peer other than 127.0.0.1 gets nothing;
// every answer starts with a status line; no byte of a file outside the
// content folder is ever sent. The files outside (beside the program folder,
// in the program folder, and in the other mode's content folder) are filled
// with one byte value that no legitimate answer holds, neither plain nor
// with the scrambling key of their length applied.
// With QUILLORY_FUZZ_SELF_TEST set, a hard link to a secret file is planted
// inside each content folder (a file of the folder that holds secret bytes),
// and a request for /leak.html must fail the run.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_folder.h"
#include "platform/socket.h"
#include "server/content_store.h"
#include "server/request_handler.h"
#include "server/responses.h"
#include "server/store_builder.h"
#include "util/text.h"

namespace {

constexpr std::size_t kSecretLength = 64;

struct ProgramFolders {
  ContentRoot dev;    // <scratch>/dev/Deve
  ContentRoot store;  // <scratch>/store/Data
  char secret = 0;    // the byte that fills every file outside the content folders
};

// ASCII only, so that the secret byte can be told apart from any of them.
void WritePlainContent(const std::string& deve) {
  fuzz::WriteFileOrDie(deve + "/index.html", "<html>index</html>\n");
  std::string book = deve + "/000000";
  mkdir(book.c_str(), 0755);
  mkdir((book + "/img").c_str(), 0755);
  fuzz::WriteFileOrDie(book + "/kvr_entrance.html", "<html><body>entrance</body></html>\n");
  fuzz::WriteFileOrDie(book + "/list.xml", "<?xml version=\"1.0\"?><list/>\n");
  fuzz::WriteFileOrDie(book + "/img/a.png", std::string(3000, 'p'));
  fuzz::WriteFileOrDie(book + "/\xE4\xB8\xAD\xE6\x96\x87.html", "<p>zh</p>\n");
  fuzz::WriteFileOrDie(book + "/empty.js", "");
}

// A byte value that neither the fixed texts nor the plain content (printable
// ASCII and line ends) hold, in plain form or with the key of a secret
// file's length applied.
char ChooseSecretByte() {
  std::string legit = std::string(FixedResponse()) + std::string(DefaultAnswer()) + "\r\n\t";
  for (char c = ' '; c < 127; ++c) legit += c;
  const unsigned char key = ScrambleKey(kSecretLength);
  for (unsigned value = 1; value < 256; ++value) {
    const char plain = static_cast<char>(value);
    const char keyed = static_cast<char>(value ^ key);
    if (legit.find(plain) == std::string::npos && legit.find(keyed) == std::string::npos) {
      return plain;
    }
  }
  fuzz::Fail("harness", "no secret byte value available");
}

void PlantSecrets(const std::string& app, char secret) {
  const std::string bytes(kSecretLength, secret);
  fuzz::WriteFileOrDie(app + "/config.ini", bytes);
  fuzz::WriteFileOrDie(app + "/secret.html", bytes);
  fuzz::WriteFileOrDie(app + "/../secret.html", bytes);
  mkdir((app + "/000000").c_str(), 0755);
  fuzz::WriteFileOrDie(app + "/000000/kvr_entrance.html", bytes);
}

ProgramFolders MakeProgramFolders() {
  ProgramFolders folders;
  folders.secret = ChooseSecretByte();
  const std::string& scratch = fuzz::ScratchFolder();
  const std::string dev_app = scratch + "/dev", store_app = scratch + "/store";
  mkdir(dev_app.c_str(), 0755);
  mkdir(store_app.c_str(), 0755);
  mkdir((dev_app + "/Deve").c_str(), 0755);
  WritePlainContent(dev_app + "/Deve");
  std::string error;
  if (!BuildContentStore(
          FsNameToWide(dev_app + "/Deve"), FsNameToWide(store_app + "/Data"), false,
          [](const std::string&) {}, &error)) {
    fuzz::Fail("harness store", error);
  }
  PlantSecrets(dev_app, folders.secret);
  PlantSecrets(store_app, folders.secret);
  // Each mode's sibling content folder lies outside its content folder too.
  mkdir((dev_app + "/Data").c_str(), 0755);
  fuzz::WriteFileOrDie(dev_app + "/Data/index.html", std::string(kSecretLength, folders.secret));
  mkdir((store_app + "/Deve").c_str(), 0755);
  fuzz::WriteFileOrDie(store_app + "/Deve/index.html", std::string(kSecretLength, folders.secret));
  // Links that lead out of each content folder, to the secrets beside it.
  symlink("..", (dev_app + "/Deve/up").c_str());
  symlink("../secret.html", (store_app + "/Data/up.html").c_str());
  if (std::getenv("QUILLORY_FUZZ_SELF_TEST") != nullptr) {
    // Proves the check: secret bytes inside each content folder must make
    // the first request for /leak.html fail the run. (A symbolic link to
    // them is not followed out of the folder.)
    link((dev_app + "/secret.html").c_str(), (dev_app + "/Deve/leak.html").c_str());
    link((store_app + "/secret.html").c_str(), (store_app + "/Data/leak.html").c_str());
  }
  folders.dev = OpenContentRoot(dev_app + "/Deve", true);
  folders.store = OpenContentRoot(store_app + "/Data", false);
  return folders;
}

const ProgramFolders& Folders() {
  static const ProgramFolders folders = MakeProgramFolders();
  return folders;
}

// Everything the server wrote, up to its close.
std::string DrainAnswer(int client) {
  std::string answer;
  char chunk[4096];
  for (;;) {
    ssize_t got = recv(client, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got <= 0) return answer;
    answer.append(chunk, static_cast<std::size_t>(got));
  }
}

void CheckAnswer(const std::string& answer, bool loopback_peer, char secret) {
  if (!loopback_peer && !answer.empty()) fuzz::Fail("foreign peer answered", answer.substr(0, 80));
  if (!answer.empty() && answer.compare(0, 7, "HTTP/1.") != 0) {
    fuzz::Fail("answer without status line", answer.substr(0, 80));
  }
  const char keyed =
      static_cast<char>(static_cast<unsigned char>(secret) ^ ScrambleKey(kSecretLength));
  std::size_t at = answer.find_first_of(std::string{secret, keyed});
  if (at != std::string::npos) fuzz::Fail("byte of a file outside the content folder sent", answer);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  platform::IgnoreBrokenPipe();
  Folders();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool store_mode = data[0] & 1;
  const bool loopback_peer = !(data[0] & 0x80);
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) fuzz::Fail("harness", "socketpair");
  // What does not fit the socket's buffer is never sent: the client gave up.
  fcntl(pair[1], F_SETFL, O_NONBLOCK);
  if (size > 1) (void)send(pair[1], data + 1, size - 1, MSG_NOSIGNAL);
  shutdown(pair[1], SHUT_WR);

  CMyHttpBlockSocket socket;
  socket.Attach(pair[0]);
  HandleConnection(socket, loopback_peer, store_mode ? Folders().store : Folders().dev);
  socket.Close();

  const std::string answer = DrainAnswer(pair[1]);
  close(pair[1]);
  CheckAnswer(answer, loopback_peer, Folders().secret);
  return 0;
}

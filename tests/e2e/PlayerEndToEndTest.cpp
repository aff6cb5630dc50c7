// The real player, driven as a user drives it: started with a file, killed politely, started
// again. Runs on the virtual display of tests/e2e/run-e2e.sh; each test has a home of its own.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <glib.h>

#include "app/RecentVideoItem.h"
#include "core/PropertyList.h"
#include "core/SqliteDefaults.h"
#include "core/Url.h"
#include "e2e/LocalWebServer.h"
#include "e2e/ScreenPixel.h"
#include "playlist/PlaylistLibrary.h"
#include "playlist/PlaylistTree.h"
#include "support/TemporaryFolder.h"

extern char** environ;

namespace orvel {
namespace {

std::string gPlayer;
std::string gArtefacts;

using Clock = std::chrono::steady_clock;

// Polls until the condition holds or the time is up; these tests wait on a real engine.
bool waitUntil(const std::function<bool()>& condition, double seconds) {
  auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < deadline) {
    if (condition()) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return condition();
}

std::string readFile(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

bool run(const std::vector<std::string>& arguments) {
  std::string command;
  for (const auto& argument : arguments) {
    command += "'" + argument + "' ";
  }
  return std::system(command.c_str()) == 0;
}

// A home with its own configuration, data and cache folders, and its own session bus address.
class Home {
 public:
  Home() {
    for (const char* folder : {"config", "data", "cache", "state", "Videos", "runtime"}) {
      std::filesystem::create_directories(folder_.file(folder));
    }
    startBus();
  }
  ~Home() {
    if (busPID_ > 0) {
      ::kill(busPID_, SIGTERM);
    }
  }
  Home(const Home&) = delete;
  Home& operator=(const Home&) = delete;
  const TemporaryFolder& folder() const { return folder_; }
  std::string store() const { return folder_.file("config/Wendle/defaults.sqlite3"); }
  std::vector<std::string> environment() const {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
      std::string variable = *entry;
      if (!variable.starts_with("HOME=") && !variable.starts_with("XDG_")) {
        variables.push_back(variable);
      }
    }
    variables.push_back("HOME=" + folder_.path());
    variables.push_back("XDG_CONFIG_HOME=" + folder_.file("config"));
    variables.push_back("XDG_DATA_HOME=" + folder_.file("data"));
    variables.push_back("XDG_CACHE_HOME=" + folder_.file("cache"));
    variables.push_back("XDG_STATE_HOME=" + folder_.file("state"));
    variables.push_back("XDG_VIDEOS_DIR=" + folder_.file("Videos"));
    variables.push_back("XDG_RUNTIME_DIR=" + folder_.file("runtime"));
    variables.push_back("DBUS_SESSION_BUS_ADDRESS=" + busAddress_);
    variables.insert(variables.end(), extra_.begin(), extra_.end());
    return variables;
  }
  void addEnvironment(std::string variable) { extra_.push_back(std::move(variable)); }
  const std::string& busAddress() const { return busAddress_; }
  // A method call on the private bus, answered as gdbus prints it (or its error).
  std::string busCall(const std::string& destination, const std::string& path,
                      const std::string& method, const std::string& arguments) const;

  // A stored value as the player wrote it, read while the player may still run.
  std::optional<PropertyList> stored(const std::string& key) const {
    sqlite3* database = nullptr;
    std::optional<PropertyList> value;
    if (sqlite3_open_v2(store().c_str(), &database, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* statement = nullptr;
      if (sqlite3_prepare_v2(database, "SELECT value FROM defaults WHERE key = ?", -1, &statement,
                             nullptr) == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, key.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(statement) == SQLITE_ROW) {
          auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement, 0));
          value = PropertyList::fromBinary(bytes, sqlite3_column_bytes(statement, 0));
        }
      }
      sqlite3_finalize(statement);
    }
    sqlite3_close(database);
    return value;
  }

  std::optional<double> position(const std::string& mediaID) const {
    auto positions = stored("lastPlaybackPositions");
    const auto* dictionary = positions ? positions->get<PropertyList::Dictionary>() : nullptr;
    if (!dictionary) {
      return std::nullopt;
    }
    auto found = dictionary->find(mediaID);
    if (found == dictionary->end()) {
      return std::nullopt;
    }
    const double* real = found->second.get<double>();
    return real ? std::optional(*real) : std::nullopt;
  }

  std::optional<std::string> lastURL() const {
    auto value = stored("lastURL");
    const std::string* text = value ? value->get<std::string>() : nullptr;
    return text ? std::optional(*text) : std::nullopt;
  }

  std::vector<RecentVideoItem> history() const {
    auto value = stored("settings.watchHistoryVideos");
    const auto* data = value ? value->get<PropertyList::Data>() : nullptr;
    if (!data) {
      return {};
    }
    auto decoded = RecentVideoItem::decodeList(std::string(data->begin(), data->end()));
    return decoded ? decoded->items : std::vector<RecentVideoItem>{};
  }

 private:
  // A session bus of this home's own that activates nothing: no desktop portals, whose document
  // portal would mount itself in the runtime folder, and no accessibility bus.
  void startBus() {
    const std::string config = folder_.file("bus.conf");
    std::ofstream(config)
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
           "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>session</type><listen>unix:dir="
        << folder_.file("runtime")
        << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
           "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
           "<allow own=\"*\"/></policy></busconfig>\n";
    std::string command = "dbus-daemon --config-file='" + config +
                          "' --fork --print-address=1 --print-pid=1 2>/dev/null";
    FILE* output = ::popen(command.c_str(), "r");
    if (!output) {
      return;
    }
    char line[512];
    if (std::fgets(line, sizeof line, output)) {
      busAddress_ = line;
      busAddress_.erase(busAddress_.find_last_not_of("\n") + 1);
    }
    if (std::fgets(line, sizeof line, output)) {
      busPID_ = std::atoi(line);
    }
    ::pclose(output);
  }

  TemporaryFolder folder_;
  std::vector<std::string> extra_;
  std::string busAddress_;
  pid_t busPID_ = -1;
};

// One run of the player on its own session bus, its output kept in a log.
class Player {
 public:
  Player(const Home& home, std::vector<std::string> arguments, const std::string& logName)
      : log_(home.folder().file(logName)) {
    std::vector<std::string> argv{gPlayer};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    start(home, argv);
  }
  // Another program in the same home, such as a window to drag from.
  struct Program {
    explicit Program(std::string programPath, std::string programArgument)
        : path(std::move(programPath)), argument(std::move(programArgument)) {}
    std::string path;
    std::string argument;
  };
  Player(const Home& home, const Program& program, const std::string& logName)
      : log_(home.folder().file(logName)) {
    start(home, {program.path, program.argument});
  }
  ~Player() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  std::string log() const { return readFile(log_); }
  bool logContains(const std::string& text) const { return log().find(text) != std::string::npos; }

  // SIGKILL, as a crash or a power cut ends it: nothing runs after.
  void kill() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }
  // SIGTERM, as the desktop sends at log-out; the exit status, or none when it hung.
  std::optional<int> terminate(double seconds = 10) {
    ::kill(pid_, SIGTERM);
    return wait(seconds);
  }
  // The processes below this player, each with its command name.
  std::vector<std::pair<pid_t, std::string>> descendants() const {
    std::vector<std::pair<pid_t, std::string>> found;
    std::vector<pid_t> pending{pid_};
    while (!pending.empty()) {
      pid_t current = pending.back();
      pending.pop_back();
      std::istringstream children(readFile("/proc/" + std::to_string(current) + "/task/" +
                                           std::to_string(current) + "/children"));
      for (pid_t child; children >> child;) {
        found.emplace_back(child, readFile("/proc/" + std::to_string(child) + "/comm"));
        pending.push_back(child);
      }
    }
    return found;
  }
  bool runsWebEngine() const {
    for (const auto& [pid, name] : descendants()) {
      if (name.starts_with("WebKit")) {
        return true;
      }
    }
    return false;
  }
  // Kills the web engine's content processes below this player, as a crash would.
  int killWebProcesses() const {
    int killed = 0;
    for (const auto& [pid, name] : descendants()) {
      if (name.starts_with("WebKitWebProces")) {
        killed += ::kill(pid, SIGKILL) == 0;
      }
    }
    return killed;
  }

  std::optional<int> wait(double seconds) {
    int status = 0;
    bool exited = waitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, seconds);
    if (!exited) {
      return std::nullopt;
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  void start(const Home& home, const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& argument : argv) {
      args.push_back(const_cast<char*>(argument.c_str()));
    }
    args.push_back(nullptr);
    auto environment = home.environment();
    std::vector<char*> env;
    for (const auto& variable : environment) {
      env.push_back(const_cast<char*>(variable.c_str()));
    }
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log_.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addchdir_np(&actions, home.folder().path().c_str());
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), env.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
  }

  std::string log_;
  pid_t pid_ = -1;
};

// A test picture with a sine tone, in the container and codecs the file name's extension asks for.
std::string makeClip(const Home& home, const std::string& name, double seconds,
                     int toneFrequency = 440) {
  std::string path = home.folder().file(name);
  std::string extension = std::filesystem::path(name).extension().string();
  std::vector<std::string> command{
      "ffmpeg",
      "-nostdin",
      "-v",
      "error",
      "-y",
      "-f",
      "lavfi",
      "-i",
      "testsrc=size=320x180:rate=25:d=" + std::to_string(seconds),
      "-f",
      "lavfi",
      "-i",
      "sine=f=" + std::to_string(toneFrequency) + ":d=" + std::to_string(seconds)};
  if (extension == ".webm") {
    command.insert(command.end(), {"-c:v", "libvpx", "-deadline", "realtime", "-c:a", "libopus"});
  } else if (extension == ".mp4") {
    command.insert(command.end(), {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                   "-movflags", "+faststart"});
  } else {
    command.insert(command.end(), {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"});
  }
  command.push_back(path);
  EXPECT_TRUE(run(command)) << "ffmpeg could not make " << name;
  return path;
}

std::string fileURL(const std::string& path) {
  return Url::fileURL(path)->absoluteString();
}

void screenshot(const std::string& name) {
  if (gArtefacts.empty() || !std::getenv("DISPLAY")) {
    return;
  }
  run({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "x11grab", "-video_size", "1280x800", "-i",
       std::getenv("DISPLAY"), "-frames:v", "1", gArtefacts + "/" + name});
}

// Plays YouTube links through the player page with the embed API stood in by a local script whose
// videos are clips made here, handed over as data URLs.
void standInForYouTube(Home& home, const std::string& configuration) {
  const std::string config = home.folder().file("standin-config.js");
  std::ofstream(config) << "window.__standin = " << configuration << ";\n";
  home.addEnvironment("ORVEL_EXTRA_PAGE_SCRIPTS=" + config + ":" + ORVEL_E2E_SOURCE_DIR +
                      "/youtube-standin.js");
}

std::string dataURL(const std::string& path) {
  std::string bytes = readFile(path);
  gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
  std::string url = std::string("data:video/webm;base64,") + encoded;
  g_free(encoded);
  return url;
}

TEST(PlayerEndToEndYouTube, AVideoPlaysThroughThePlayerPage) {
  Home home;
  const std::string clip = dataURL(makeClip(home, "clip.webm", 6));
  standInForYouTube(home, R"({"videos": {"dQw4w9WgXcQ": ")" + clip +
                              R"("}, "titles": {"dQw4w9WgXcQ": "Stand-in song"}})");
  Player player(home, {"https://youtu.be/dQw4w9WgXcQ"}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return home.position("dQw4w9WgXcQ").value_or(0) >= 1; }, 40))
      << player.log();
  screenshot("playing-youtube.png");
  EXPECT_EQ(home.lastURL(), "https://www.youtube.com/watch?v=dQw4w9WgXcQ");
  auto history = home.history();
  ASSERT_FALSE(history.empty());
  EXPECT_EQ(history[0].title, "Stand-in song");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndHostilePage, AHugeTitleIsStoredCutTo1024Characters) {
  Home home;
  const std::string clip = dataURL(makeClip(home, "clip.webm", 6));
  standInForYouTube(home, R"({"videos": {"dQw4w9WgXcQ": ")" + clip +
                              R"("}, "titles": {"dQw4w9WgXcQ": ")" + std::string(1 << 20, 'T') +
                              R"("}})");
  Player player(home, {"https://youtu.be/dQw4w9WgXcQ"}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return !home.history().empty(); }, 40)) << player.log();
  for (const char* key : {"settings.watchHistoryVideos", "settings.recentVideos"}) {
    auto stored = home.stored(key);
    ASSERT_TRUE(stored);
    EXPECT_LT(stored->get<PropertyList::Data>()->size(), 4096u) << key;
  }
  EXPECT_EQ(home.history()[0].title, std::string(1024, 'T'));
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndYouTube, APlaylistAdvancesInsideThePageAndRemembersItsPlace) {
  Home home;
  const std::string clip = dataURL(makeClip(home, "clip.webm", 3));
  standInForYouTube(home,
                    R"({"videos": {"aaaaaaaaaaa": ")" + clip + R"(", "bbbbbbbbbbb": ")" + clip +
                        R"("}, "playlists": {"PLstandin01": ["aaaaaaaaaaa", "bbbbbbbbbbb"]}})");
  Player player(home, {"https://www.youtube.com/watch?v=aaaaaaaaaaa&list=PLstandin01"},
                "player.log");
  const std::string mediaID = "youtube-playlist:PLstandin01";
  ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).has_value(); }, 40)) << player.log();
  // The second entry plays on its own, and the stored link points at it.
  ASSERT_TRUE(waitUntil(
      [&] { return home.lastURL().value_or("").find("index=2") != std::string::npos; }, 30))
      << player.log() << home.lastURL().value_or("<none>");
  EXPECT_NE(home.lastURL()->find("list=PLstandin01"), std::string::npos);
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndYouTube, APlayerErrorIsShownAndAPageThatNeverGetsReadyIsRetriedOnce) {
  Home home;
  standInForYouTube(home, R"({"videos": {}, "errorFor": {"ccccccccccc": 150}})");
  {
    Player player(home, {"https://www.youtube.com/watch?v=ccccccccccc"}, "error.log");
    ASSERT_TRUE(waitUntil(
        [&] { return player.logContains("YouTube player error: This video can't be embedded"); },
        40))
        << player.log();
    EXPECT_EQ(player.terminate(), 0);
  }
  Home stuck;
  standInForYouTube(stuck, R"({"neverReady": true})");
  Player player(stuck, {"https://www.youtube.com/watch?v=ddddddddddd"}, "stuck.log");
  ASSERT_TRUE(waitUntil([&] { return player.logContains("did not become ready in time"); }, 20))
      << player.log();
  ASSERT_TRUE(waitUntil([&] { return player.logContains("did not become ready again"); }, 20))
      << player.log();
  EXPECT_FALSE(stuck.position("ddddddddddd"));
  EXPECT_EQ(player.terminate(), 0);
}

std::string commandOutput(const std::string& command);

std::string Home::busCall(const std::string& destination, const std::string& path,
                          const std::string& method, const std::string& arguments) const {
  return commandOutput("DBUS_SESSION_BUS_ADDRESS='" + busAddress_ +
                       "' gdbus call --session --dest " + destination + " --object-path " + path +
                       " --method " + method + " " + arguments + " 2>&1");
}

std::string commandOutput(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe)) {
      output.append(buffer, read);
    }
    ::pclose(pipe);
  }
  return output;
}

// Where a window is on screen. xwininfo, because xdotool counts the frame's offset twice under
// a reparenting window manager.
struct WindowGeometry {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

WindowGeometry windowGeometry(const std::string& id) {
  const std::string info = commandOutput("xwininfo -id " + id);
  auto field = [&](const std::string& name) {
    auto at = info.find(name + ":");
    return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + name.size() + 1);
  };
  return {field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
          field("Height")};
}

// The window manager's view of the player window.
std::string windowState() {
  std::string info = commandOutput("xwininfo -name 'Orvel player' 2>/dev/null");
  auto at = info.find("Window id: ");
  if (at == std::string::npos) {
    return "";
  }
  std::string id = info.substr(at + 11, info.find(' ', at + 11) - at - 11);
  return commandOutput("xprop -id " + id + " _NET_WM_STATE _NET_WM_DESKTOP 2>/dev/null");
}

std::optional<std::string> storedFrame(const Home& home) {
  auto value = home.stored("playerWindowFrame");
  const std::string* text = value ? value->get<std::string>() : nullptr;
  return text ? std::optional(*text) : std::nullopt;
}

// A window under the player that writes every button press it gets to a file.
class ClickRecorder {
 public:
  explicit ClickRecorder(const Home& home) : log_(home.folder().file("clicks.log")) {
    const std::string command =
        "xev -geometry 1280x800+0+0 -event button > '" + log_ + "' 2>&1 & echo $!";
    pid_ = std::atoi(commandOutput(command).c_str());
  }
  ~ClickRecorder() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
    }
  }
  ClickRecorder(const ClickRecorder&) = delete;
  ClickRecorder& operator=(const ClickRecorder&) = delete;
  std::size_t presses() const {
    const std::string text = readFile(log_);
    std::size_t count = 0;
    for (auto at = text.find("ButtonPress"); at != std::string::npos;
         at = text.find("ButtonPress", at + 1)) {
      ++count;
    }
    return count;
  }

 private:
  std::string log_;
  pid_t pid_ = -1;
};

// Clicks once the player, which looks at the pointer every 0.15 s, has taken the pointer or let it
// through, as `overPlayer` says it should: a busy player may take longer than a few looks.
void clickAt(int x, int y, unsigned long player, bool overPlayer) {
  run({"xdotool", "mousemove", std::to_string(x), std::to_string(y)});
  EXPECT_TRUE(waitUntil([&] { return (windowUnderPointer() == player) == overPlayer; }, 10))
      << "at " << x << ", " << y << ", over window " << windowUnderPointer() << ", not " << player;
  run({"xdotool", "click", "1"});
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
}

TEST(PlayerEndToEndWindow, InHoverModeClicksOverTheContentReachTheWindowBelow) {
  if (!run({"sh", "-c", "command -v xdotool >/dev/null && command -v xev >/dev/null"})) {
    GTEST_SKIP() << "needs xdotool and xev";
  }
  Home home;
  SqliteDefaults::open(home.store())->set("settings.hoverTransparencyEnabled", PropertyList(true));
  const std::string clip = makeClip(home, "clip.webm", 30);
  ClickRecorder below(home);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(
      waitUntil([&] { return home.position("webm:" + fileURL(clip)).value_or(0) >= 1; }, 30))
      << player.log();
  const std::string id = commandOutput("xdotool search --name '^Orvel player$' | head -n 1");
  const unsigned long window = std::stoul("0" + id);
  ASSERT_NE(window, 0u) << player.log();
  // Where the window manager put the first window, about {{128, 112}, {1024, 576}}.
  const WindowGeometry frame = windowGeometry(id);
  const int middle = frame.x + frame.width / 2;
  clickAt(middle, frame.y + 10, window, true);  // the top strip stays the player's
  EXPECT_EQ(below.presses(), 0u);
  clickAt(middle, frame.y + frame.height / 2, window, false);  // the content has vanished
  EXPECT_EQ(below.presses(), 1u) << player.log();
  screenshot("hover-mode.png");
  clickAt(std::min(frame.x + frame.width + 40, 1270), std::min(frame.y + frame.height + 40, 790),
          window, false);  // outside the player
  EXPECT_EQ(below.presses(), 2u);
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndWindow, StaysAboveOnEveryWorkspaceAndClosingSavesAndQuits) {
  Home home;
  const std::string clip = makeClip(home, "clip.webm", 30);
  const std::string mediaID = "webm:" + fileURL(clip);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).value_or(0) >= 3; }, 30))
      << player.log();
  ASSERT_TRUE(
      waitUntil([&] { return windowState().find("_NET_WM_STATE_ABOVE") != std::string::npos; }, 10))
      << windowState();
  // Window managers show "every workspace" either as the sticky state or as desktop 0xFFFFFFFF.
  const std::string state = windowState();
  EXPECT_TRUE(state.find("_NET_WM_STATE_STICKY") != std::string::npos ||
              state.find("_NET_WM_DESKTOP(CARDINAL) = 4294967295") != std::string::npos)
      << state;
  // First start: 1024 x 576 in the middle of the 1280 x 800 screen.
  EXPECT_EQ(storedFrame(home), "{{128, 112}, {1024, 576}}");

  ASSERT_TRUE(run({"wmctrl", "-c", "Orvel player"}));
  EXPECT_EQ(player.wait(10), 0) << player.log();
  EXPECT_GE(home.position(mediaID).value_or(0), 3);
  EXPECT_EQ(home.lastURL(), fileURL(clip));
}

// A PulseAudio server of the home's own, whose only output is a null sink "speakers"; its
// monitor is where the player's sound can be measured.
class SoundServer {
 public:
  explicit SoundServer(const Home& home) : runtime_(home.folder().file("runtime")) {
    const std::string command =
        "XDG_RUNTIME_DIR='" + runtime_ + "' PULSE_RUNTIME_PATH='" + runtime_ + "/pulse' HOME='" +
        home.folder().path() +
        "' pulseaudio --daemonize=yes --system=no --exit-idle-time=-1 -n --use-pid-file=yes "
        "--log-target=file:'" +
        home.folder().file("pulse.log") +
        "' --load='module-null-sink sink_name=speakers format=float32le rate=48000 channels=2' "
        "--load=module-native-protocol-unix";
    available_ = std::system(command.c_str()) == 0 &&
                 waitUntil([&] { return pactl("info").find("speakers") != std::string::npos; }, 10);
  }
  ~SoundServer() { pactl("exit"); }
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  bool available() const { return available_; }

  // The level of what the speakers play over half a second, in dB of full scale.
  double level() const {
    std::string samples =
        commandOutput("XDG_RUNTIME_DIR='" + runtime_ +
                      "' timeout 0.5 parec --device=speakers.monitor "
                      "--format=float32le --channels=2 --rate=48000 --raw 2>/dev/null");
    const std::size_t count = samples.size() / sizeof(float);
    double sum = 0;
    for (std::size_t index = 0; index < count; ++index) {
      float sample = 0;
      std::memcpy(&sample, samples.data() + index * sizeof(float), sizeof(float));
      sum += static_cast<double>(sample) * sample;
    }
    return count ? 10 * std::log10(std::max(sum / count, 1e-20)) : -200;
  }

 private:
  std::string pactl(const std::string& arguments) const {
    return commandOutput("XDG_RUNTIME_DIR='" + runtime_ + "' pactl " + arguments + " 2>/dev/null");
  }

  std::string runtime_;
  bool available_ = false;
};

void activate(const Home& home, const std::string& action, const std::string& parameter) {
  const std::string answer =
      home.busCall("com.example.OrvelPlayer", "/com/example/OrvelPlayer",
                   "org.gtk.Actions.Activate", action + " \"" + parameter + "\" \"{}\"");
  EXPECT_EQ(answer, "()\n") << action;
}

TEST(PlayerEndToEndEqualizer, AWebVideoToneRisesWithItsBandAndFallsBackWhenSwitchedOff) {
  Home home;
  SoundServer sound(home);
  if (!sound.available()) {
    GTEST_SKIP() << "no PulseAudio server could be started";
  }
  const std::string clip = makeClip(home, "tone.webm", 40, 1500);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(
      waitUntil([&] { return home.position("webm:" + fileURL(clip)).value_or(0) >= 2; }, 30))
      << player.log();
  ASSERT_TRUE(waitUntil([&] { return sound.level() > -40; }, 10)) << "no sound reached the server";
  const double flat = sound.level();

  activate(home, "equalizer-gain", "[<(uint32 3, 12.0)>]");
  activate(home, "equalizer", "[<true>]");
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Equalizing the web view's sound"); }, 10))
      << player.log();
  double boosted = flat;
  waitUntil([&] { return (boosted = sound.level()) > flat + 11; }, 10);
  EXPECT_NEAR(boosted - flat, 12, 1.5) << player.log();

  activate(home, "equalizer", "[<false>]");
  double after = boosted;
  waitUntil([&] { return std::abs((after = sound.level()) - flat) < 1; }, 10);
  EXPECT_NEAR(after, flat, 1.5);
  std::printf("levels: flat %.2f dBFS, with +12 dB on 1.5 kHz %.2f dBFS, switched off %.2f dBFS\n",
              flat, boosted, after);
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

class PlayerEndToEnd : public ::testing::TestWithParam<std::string> {};

TEST_P(PlayerEndToEnd, AFileFromTheCommandLinePlaysAndIsRecorded) {
  Home home;
  const std::string clip = makeClip(home, "clip." + GetParam(), 8);
  const std::string mediaID = GetParam() + ":" + fileURL(clip);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).value_or(0) >= 2; }, 30))
      << player.log();
  screenshot("playing-" + GetParam() + ".png");
  EXPECT_EQ(home.lastURL(), fileURL(clip));
  auto history = home.history();
  ASSERT_FALSE(history.empty());
  EXPECT_EQ(history[0].videoID, mediaID);
  EXPECT_EQ(history[0].sourceURL, fileURL(clip));
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

INSTANTIATE_TEST_SUITE_P(WebFormats, PlayerEndToEnd, ::testing::Values("webm", "mp4"),
                         [](const ::testing::TestParamInfo<std::string>& format) {
                           return format.param;
                         });

// The screen's pixel at a point, as "r g b", read back from the X server.
std::string screenPixel(int x, int y) {
  std::string command = std::string("ffmpeg -nostdin -v error -f x11grab -draw_mouse 0 ") +
                        "-video_size 1x1 -i '" + std::getenv("DISPLAY") + "+" + std::to_string(x) +
                        "," + std::to_string(y) +
                        "' -frames:v 1 -f rawvideo -pix_fmt rgb24 - | od -An -tu1";
  std::string output = commandOutput(command);
  std::istringstream numbers(output);
  int r = 0, g = 0, b = 0;
  numbers >> r >> g >> b;
  return std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b);
}

// A folder of the media folder plays as a queue: each clip's end starts the next, and the queue
// runs out after the third with repeat off, or goes round with repeat all.
TEST(PlayerEndToEndQueue, AFolderOfTheMediaFolderPlaysThroughAndRepeatAllGoesRound) {
  Home home;
  const std::string trip = home.folder().file("Videos/Wendle Media/Trip");
  std::filesystem::create_directories(trip);
  std::vector<std::string> clips;
  for (const char* name : {"a.mkv", "b.mkv", "c.mkv"}) {
    const std::string made = makeClip(home, name, 2);
    clips.push_back(trip + "/" + name);
    std::filesystem::rename(made, clips.back());
  }
  auto lastPlayed = [&]() -> std::string {
    auto value = home.stored("playlistLastPlayed");
    const std::string* text = value ? value->get<std::string>() : nullptr;
    return text ? *text : "";
  };
  auto idOf = [](const std::string& path) { return PlaylistLibrary::stableID(path).uuidString(); };
  {
    Player player(home, {clips[0]}, "off.log");
    std::vector<std::string> seen;
    const bool ranOut = waitUntil(
        [&] {
          const std::string now = lastPlayed();
          if (!now.empty() && (seen.empty() || seen.back() != now)) {
            seen.push_back(now);
          }
          return seen.size() == 2 && home.position("mkv:" + fileURL(clips[2])) && now.empty();
        },
        30);
    EXPECT_TRUE(ranOut) << player.log();
    EXPECT_EQ(seen, (std::vector<std::string>{idOf(clips[1]), idOf(clips[2])}));
    EXPECT_EQ(player.terminate(), 0) << player.log();
  }
  SqliteDefaults::open(home.store())->set("playlistRepeat", PropertyList(std::string("all")));
  Player player(home, {clips[2]}, "all.log");
  EXPECT_TRUE(waitUntil([&] { return lastPlayed() == idOf(clips[0]); }, 30)) << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndFiles, AWebmWhoseNameIsNotUtf8PlaysUnderItsOwnName) {
  Home home;
  const std::string clip = makeClip(home, "caf\xE9.webm", 20);
  const std::string mediaID = "webm:" + fileURL(clip);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).value_or(0) >= 2; }, 30))
      << player.log();
  const auto history = home.history();
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0].videoID, mediaID);
  EXPECT_EQ(history[0].title, "caf\xEF\xBF\xBD");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndNative, AnMkvPlaysThroughToItsEnd) {
  Home home;
  const std::string clip = makeClip(home, "film.mkv", 4);
  const std::string mediaID = "mkv:" + fileURL(clip);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).value_or(0) >= 1; }, 30))
      << player.log();
  screenshot("playing-mkv.png");
  // The picture is on screen: the window's left part shows the clip's colour bars, not black.
  EXPECT_NE(screenPixel(300, 300), "0 0 0") << player.log();
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Playback ended: " + mediaID); }, 30))
      << player.log();
  EXPECT_FALSE(player.logContains("Unable to read video"));
  // Only native media played, so the web engine never started.
  EXPECT_FALSE(player.runsWebEngine());
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// ---- The toolbar, used with the mouse and the keyboard ------------------------------------
// Places in the first window, {{128, 112}, {1024, 576}}, with the bars showing.
constexpr int kSeekLeft = 189;
constexpr int kSeekRight = 1089;
constexpr int kSeekY = 628;
constexpr int kControlsY = 657;
constexpr int kPinX = 1051;
constexpr int kOptionsX = 1083;
constexpr int kEqualizerX = 197;

void xdotool(const std::vector<std::string>& arguments) {
  std::vector<std::string> command{"xdotool"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  run(command);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

void showBars() {
  xdotool({"mousemove", "640", "400"});
  xdotool({"mousemove", "650", "410"});
}

// A click on a control of the bars, with the pointer brought in from the middle so that the bars
// show whatever the pointer did before.
void clickControl(int x, int y) {
  showBars();
  xdotool({"mousemove", std::to_string(x), std::to_string(y)});
  xdotool({"click", "1"});
}

// Opens the equalizer popover and clicks its switch.
void flipEqualizerSwitch() {
  clickControl(kEqualizerX, kControlsY);
  xdotool({"mousemove", "391", "344", "click", "1"});
}

bool hasXdotool() {
  return run({"sh", "-c", "command -v xdotool >/dev/null"});
}

TEST(PlayerEndToEndToolbar, ThePinButtonTakesTheWindowOffTheTopAndBack) {
  if (!hasXdotool()) {
    GTEST_SKIP() << "needs xdotool";
  }
  Home home;
  const std::string clip = makeClip(home, "clip.webm", 30);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(
      waitUntil([&] { return home.position("webm:" + fileURL(clip)).value_or(0) >= 1; }, 30))
      << player.log();
  auto above = [] { return windowState().find("_NET_WM_STATE_ABOVE") != std::string::npos; };
  ASSERT_TRUE(waitUntil(above, 10));
  showBars();
  screenshot("toolbar-wide.png");
  clickControl(kPinX, kControlsY);
  EXPECT_TRUE(waitUntil([&] { return !above(); }, 10)) << windowState();
  clickControl(kPinX, kControlsY);
  EXPECT_TRUE(waitUntil(above, 10)) << windowState();
  clickControl(kOptionsX, kControlsY);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  screenshot("options-popover.png");
  xdotool({"key", "Escape"});
  // Without a sound server the equalizer says why it cannot run.
  flipEqualizerSwitch();
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  screenshot("equalizer-popover.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

bool storedSwitch(const Home& home, const std::string& name) {
  auto value = home.stored("settings." + name);
  const bool* on = value ? value->get<bool>() : nullptr;
  return on && *on;
}

bool windowShown(const std::string& title) {
  return !commandOutput("xdotool search --onlyvisible --name '^" + title + "$'").empty();
}

TEST(PlayerEndToEndToolbar, DraggingTheSeekSliderAndItsArrowsMoveAnMkv) {
  if (!hasXdotool()) {
    GTEST_SKIP() << "needs xdotool";
  }
  Home home;
  const std::string clip = makeClip(home, "film.mkv", 60);
  const std::string mediaID = "mkv:" + fileURL(clip);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).value_or(0) >= 1; }, 30))
      << player.log();
  showBars();
  const int from = kSeekLeft + static_cast<int>((kSeekRight - kSeekLeft) *
                                                home.position(mediaID).value_or(0) / 60);
  xdotool({"mousemove", std::to_string(from), std::to_string(kSeekY), "mousedown", "1"});
  xdotool({"mousemove", "400", std::to_string(kSeekY)});
  xdotool({"mousemove", std::to_string((kSeekLeft + kSeekRight) / 2), std::to_string(kSeekY)});
  xdotool({"mouseup", "1"});
  ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).value_or(0) >= 28; }, 5))
      << home.position(mediaID).value_or(-1) << "\n"
      << player.log();
  const double dragged = *home.position(mediaID);
  EXPECT_LT(dragged, 36);
  // With the pointer away, F6 takes the focus from the slider back to the picture, Tab brings it
  // to the slider again and shows the bars, and each arrow steps five seconds.
  run({"sh", "-c", "xdotool search --name '^Orvel player$' windowactivate --sync >/dev/null 2>&1"});
  xdotool({"mousemove", "5", "5"});
  xdotool({"key", "F6", "Tab"});
  screenshot("toolbar-keyboard.png");
  xdotool({"key", "Right", "Right"});
  EXPECT_TRUE(waitUntil([&] { return home.position(mediaID).value_or(0) >= dragged + 9; }, 5))
      << home.position(mediaID).value_or(-1);
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndToolbar, TheEqualizerSwitchInItsPopoverStartsTheWebAudioRoute) {
  if (!hasXdotool()) {
    GTEST_SKIP() << "needs xdotool";
  }
  Home home;
  SoundServer sound(home);
  if (!sound.available()) {
    GTEST_SKIP() << "no PulseAudio server could be started";
  }
  const std::string clip = makeClip(home, "tone.webm", 40, 1500);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(
      waitUntil([&] { return home.position("webm:" + fileURL(clip)).value_or(0) >= 1; }, 30))
      << player.log();
  flipEqualizerSwitch();
  EXPECT_TRUE(waitUntil([&] { return player.logContains("Equalizing the web view's sound"); }, 10))
      << player.log();
  screenshot("equalizer-popover-on.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndWindow, AFileDraggedFromAnotherWindowShowsTheDropPromptAndPlays) {
  if (!hasXdotool()) {
    GTEST_SKIP() << "needs xdotool";
  }
  Home home;
  const std::string clip = makeClip(home, "dropped.webm", 30);
  Player player(home, {}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return !windowState().empty(); }, 30)) << player.log();
  Player source(home, Player::Program{ORVEL_E2E_DRAG_SOURCE, clip}, "source.log");
  std::string id;
  ASSERT_TRUE(waitUntil(
      [&] {
        id = commandOutput("xdotool search --name '^Orvel drag source$' | head -n 1");
        return !id.empty();
      },
      10));
  id = id.substr(0, id.find('\n'));
  xdotool({"windowmove", "--sync", id, "20", "700"});
  const WindowGeometry from = windowGeometry(id);
  const int x = from.x + from.width / 2;
  const int y = from.y + from.height / 2;
  xdotool({"mousemove", std::to_string(x), std::to_string(y), "mousedown", "1"});
  for (int step = 1; step <= 6; ++step) {
    xdotool({"mousemove", std::to_string(x + (640 - x) * step / 6),
             std::to_string(y + (400 - y) * step / 6)});
  }
  xdotool({"mousemove", "650", "410"});
  screenshot("drop-prompt.png");
  xdotool({"mouseup", "1"});
  EXPECT_TRUE(
      waitUntil([&] { return home.position("webm:" + fileURL(clip)).value_or(0) >= 1; }, 30))
      << player.log() << source.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndToolbar, AResizeWithTheLockOnEndsAt16By9AndANarrowWindowKeepsItsControls) {
  if (!hasXdotool()) {
    GTEST_SKIP() << "needs xdotool";
  }
  Home home;
  SqliteDefaults::open(home.store())->set("settings.eightyTransparencyEnabled", PropertyList(true));
  const std::string clip = makeClip(home, "clip.webm", 30);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(
      waitUntil([&] { return home.position("webm:" + fileURL(clip)).value_or(0) >= 1; }, 30))
      << player.log();
  showBars();
  screenshot("eighty-percent.png");
  const std::string id = commandOutput("xdotool search --name '^Orvel player$' | head -n 1");
  ASSERT_FALSE(id.empty());
  run({"xdotool", "windowsize", id.substr(0, id.find('\n')), "460", "400"});
  ASSERT_TRUE(waitUntil(
      [&] {
        auto frame = storedFrame(home);
        return frame && frame->find("{460, 259}") != std::string::npos;
      },
      5))
      << storedFrame(home).value_or("none");
  xdotool({"mousemove", "200", "250"});
  xdotool({"mousemove", "210", "255"});
  screenshot("toolbar-narrow.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndNative, ACorruptMkvRaisesTheUnableToReadAlert) {
  Home home;
  const std::string path = home.folder().file("broken.mkv");
  std::ofstream(path) << std::string(4096, '\x5a');
  Player player(home, {path}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Unable to read video"); }, 30))
      << player.log();
  EXPECT_TRUE(player.logContains("The source could not be read or decoded."));
  screenshot("unreadable-mkv.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndRestart, StartingAgainResumesWhereItStopped) {
  Home home;
  const std::string clip = makeClip(home, "long.webm", 30);
  const std::string mediaID = "webm:" + fileURL(clip);
  double stopped = 0;
  {
    Player first(home, {clip}, "first.log");
    ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).value_or(0) >= 4; }, 30))
        << first.log();
    ASSERT_EQ(first.terminate(), 0) << first.log();
    stopped = home.position(mediaID).value_or(0);
  }
  Player second(home, {}, "second.log");
  ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).value_or(0) != stopped; }, 30))
      << second.log();
  // Reports start where playback resumed, never from the beginning again.
  EXPECT_GE(*home.position(mediaID), stopped - 0.5) << second.log();
  EXPECT_EQ(second.terminate(), 0);
}

TEST(PlayerEndToEndSingleInstance, ASecondLaunchHandsItsFileToTheRunningPlayer) {
  Home home;
  const std::string first = makeClip(home, "first.webm", 20);
  const std::string second = makeClip(home, "second.webm", 20);
  Player running(home, {first}, "running.log");
  ASSERT_TRUE(waitUntil([&] { return home.lastURL() == fileURL(first); }, 30)) << running.log();
  Player later(home, {second}, "later.log");
  EXPECT_EQ(later.wait(10), 0) << later.log();
  ASSERT_TRUE(waitUntil([&] { return home.position("webm:" + fileURL(second)).has_value(); }, 30))
      << running.log();
  EXPECT_EQ(home.lastURL(), fileURL(second));
  EXPECT_EQ(running.terminate(), 0);
}

// The players running in this home, whatever started them.
int playersIn(const Home& home) {
  int count = 0;
  const std::string homeVariable = "HOME=" + home.folder().path() + '\0';
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string folder = entry.path().string();
    if (readFile(folder + "/comm") == "orvel-player\n" &&
        readFile(folder + "/environ").find(homeVariable) != std::string::npos) {
      ++count;
    }
  }
  return count;
}

// "Open With" in a file manager: the desktop file's command, run by GIO with the file's path or by
// another launcher with its URL, hands the file to the running player, and leaves; the window is
// the one the desktop file says it maps.
TEST(PlayerEndToEndDesktop, OpenWithPlaysTheFileInTheRunningPlayer) {
  Home home;
  const std::string first = makeClip(home, "first.webm", 20);
  // Names whose URL GLib escapes differently from the player.
  const std::string second = makeClip(home, "Open with; second.mkv", 20);
  const std::string third = makeClip(home, "Open with; third.webm", 20);
  Player running(home, {first}, "running.log");
  ASSERT_TRUE(waitUntil([&] { return home.lastURL() == fileURL(first); }, 30)) << running.log();

  const std::string bin = home.folder().file("bin");
  std::filesystem::create_directories(bin);
  std::filesystem::create_symlink(gPlayer, bin + "/orvel-player");
  const std::string script = home.folder().file("open-with.sh");
  std::ofstream(script) << "PATH='" << bin << "':\"$PATH\" exec gio launch '"
                        << ORVEL_E2E_DESKTOP_FILE << "' '" << second << "'\n";
  Player openWith(home, Player::Program("/bin/sh", script), "open-with.log");
  EXPECT_EQ(openWith.wait(10), 0) << openWith.log();
  ASSERT_TRUE(
      waitUntil([&] { return home.position("mkv:" + fileURL(second)).value_or(0) >= 1; }, 30))
      << running.log();
  EXPECT_EQ(home.lastURL(), fileURL(second));

  gchar* glibURL = g_filename_to_uri(third.c_str(), nullptr, nullptr);
  ASSERT_NE(glibURL, fileURL(third));
  Player byURL(home, {glibURL}, "by-url.log");
  g_free(glibURL);
  EXPECT_EQ(byURL.wait(10), 0) << byURL.log();
  ASSERT_TRUE(
      waitUntil([&] { return home.position("webm:" + fileURL(third)).value_or(0) >= 1; }, 30))
      << running.log();

  EXPECT_TRUE(waitUntil([&] { return playersIn(home) == 1; }, 10)) << playersIn(home);
  const std::string windows = commandOutput("xdotool search --onlyvisible --name '^Orvel player$'");
  ASSERT_EQ(std::count(windows.begin(), windows.end(), '\n'), 1) << windows;
  // Desktops group the window under the desktop file by its WM_CLASS.
  const std::string desktopFile = readFile(ORVEL_E2E_DESKTOP_FILE);
  const auto key = desktopFile.find("\nStartupWMClass=");
  ASSERT_NE(key, std::string::npos);
  const std::string wmClass =
      desktopFile.substr(key + 16, desktopFile.find('\n', key + 1) - key - 16);
  const std::string window = windows.substr(0, windows.find('\n'));
  EXPECT_NE(commandOutput("xprop -id " + window + " WM_CLASS").find('"' + wmClass + '"'),
            std::string::npos)
      << wmClass;
  EXPECT_EQ(running.terminate(), 0);
}

TEST(PlayerEndToEndFailures, AWebProcessThatDiesIsReplacedAndPlaybackGoesOn) {
  Home home;
  const std::string clip = makeClip(home, "long.webm", 30);
  const std::string mediaID = "webm:" + fileURL(clip);
  Player player(home, {clip}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).value_or(0) >= 3; }, 30))
      << player.log();
  const double before = *home.position(mediaID);
  ASSERT_GE(player.killWebProcesses(), 1);
  auto openings = [&] {
    std::string log = player.log();
    std::size_t count = 0;
    for (std::size_t at = log.find("Opening "); at != std::string::npos;
         at = log.find("Opening ", at + 1)) {
      ++count;
    }
    return count;
  };
  ASSERT_TRUE(waitUntil([&] { return openings() == 2; }, 20)) << player.log();
  ASSERT_TRUE(waitUntil([&] { return home.position(mediaID).value_or(0) >= before + 2; }, 30))
      << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndFailures, AMissingFileIsReportedAndNothingStoredIsLost) {
  Home home;
  const std::string clip = makeClip(home, "kept.webm", 20);
  {
    Player first(home, {clip}, "first.log");
    ASSERT_TRUE(waitUntil([&] { return home.position("webm:" + fileURL(clip)).has_value(); }, 30));
    ASSERT_EQ(first.terminate(), 0);
  }
  auto before = home.position("webm:" + fileURL(clip));
  Player player(home, {fileURL(home.folder().file("gone.webm"))}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Unable to read video"); }, 20))
      << player.log();
  EXPECT_TRUE(player.logContains("The file is missing, its drive is disconnected"));
  EXPECT_EQ(player.terminate(), 0);
  EXPECT_EQ(home.position("webm:" + fileURL(clip)), before);
}

// ---- Pages that try what a video page has no business doing -------------------------------

std::vector<std::string> filesBelow(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (auto entry = std::filesystem::recursive_directory_iterator(folder, error);
       entry != std::filesystem::recursive_directory_iterator(); entry.increment(error)) {
    if (entry->is_regular_file()) {
      files.push_back(entry->path().string());
    }
  }
  return files;
}

TEST(PlayerEndToEndHostilePage, ADownloadIsRefusedAndNoFileIsWrittenOrRemoved) {
  Home home;
  const std::string downloads = home.folder().file("Downloads");
  std::filesystem::create_directories(downloads);
  std::ofstream(downloads + "/report.pdf") << "the user's own report";
  std::ofstream(home.folder().file("config/user-dirs.dirs"))
      << "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n";
  LocalWebServer server;
  server.route("/x.mp4", {"text/html", "<script>location = '/report.pdf';</script>", ""});
  server.route("/report.pdf", {"application/pdf", "%PDF-1.4 not yours",
                               "Content-Disposition: attachment; filename=\"report.pdf\"\r\n"});

  Player player(home, {server.url("/x.mp4")}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return server.wasAskedFor("/report.pdf"); }, 30)) << player.log();
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Refused a download"); }, 10))
      << player.log();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_EQ(readFile(downloads + "/report.pdf"), "the user's own report");
  for (const std::string& file : filesBelow(home.folder().path())) {
    if (std::filesystem::path(file).filename().string().find("report") != std::string::npos) {
      EXPECT_EQ(file, downloads + "/report.pdf");
    }
  }
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

TEST(PlayerEndToEndHostilePage, ANewWindowNeverOpensALocalFile) {
  Home home;
  LocalWebServer server;
  const std::string probe = home.folder().file("probe.html");
  std::ofstream(probe) << "<script>fetch('" << server.url("/probe-ran") << "');</script><img src='"
                       << server.url("/probe-image") << "'>";
  server.route("/x.mp4", {"text/html",
                          "<script>window.open('" + fileURL(probe) +
                              "');\nsetTimeout(function () { window.open('/after'); }, 1500);"
                              "</script>",
                          ""});
  server.route("/after", {"text/html", "<p>a web page may follow</p>", ""});

  Player player(home, {server.url("/x.mp4")}, "player.log");
  // The page's second window, a web page, loads: by then the first had its chance.
  ASSERT_TRUE(waitUntil([&] { return server.wasAskedFor("/after"); }, 30)) << player.log();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_FALSE(server.wasAskedFor("/probe-ran"));
  EXPECT_FALSE(server.wasAskedFor("/probe-image"));
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// ---- The playlist panel ---------------------------------------------------------------------
constexpr int kPlaylistX = 1115;

// The panel's window on screen, found by its title.
struct PanelWindow {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  // The pointer rests on the header's summary, where no control shows a tooltip.
  void restPointer() const {
    xdotool({"mousemove", std::to_string(x + width / 2), std::to_string(y + 26)});
  }

  // Places inside the panel, from its top left corner, or from its bottom edge when negative.
  void click(int dx, int dy, int count = 1, int button = 1) const {
    const int atY = dy < 0 ? y + height + dy : y + dy;
    xdotool({"mousemove", std::to_string(x + dx), std::to_string(atY)});
    xdotool({"click", "--repeat", std::to_string(count), "--delay", "90", std::to_string(button)});
  }
  // The n-th row of the content list, and of the sidebar.
  void clickRow(int row, int count = 1, int button = 1) const {
    click(420, 122 + 49 * row, count, button);
  }
  void clickSidebar(int entry, int count = 1) const { click(110, 76 + 46 * entry, count); }
  void clickLinkField() const { click(280, -76); }
  void clickNewFolder() const { click(width - 110, -76); }
  void clickSearch() const { click(width - 120, 72); }
};

std::optional<PanelWindow> findPanel() {
  std::string id;
  if (!waitUntil(
          [&] {
            id = commandOutput("xdotool search --onlyvisible --name '^Playlist$' | head -n 1");
            return !id.empty();
          },
          15)) {
    return std::nullopt;
  }
  id = id.substr(0, id.find('\n'));
  // The window manager places it a moment after it maps.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const WindowGeometry geometry = windowGeometry(id);
  return PanelWindow{geometry.x, geometry.y, geometry.width, geometry.height};
}

PlaylistTree::Nodes storedLibrary(const Home& home) {
  return PlaylistLibrary::load(*SqliteDefaults::open(home.store()));
}

bool libraryHolds(const Home& home, const std::string& url) {
  bool found = false;
  PlaylistTree::forEachItem(storedLibrary(home), [&](const PlaylistNode& item) {
    found = found || item.url == url;
    return !found;
  });
  return found;
}

// A media folder of 30 clips in nested folders, one of them stopped part way.
std::string makeNestedMediaFolder(Home& home) {
  const std::string media = home.folder().file("Videos/Wendle Media");
  const std::string mp4 = makeClip(home, "one.mp4", 2);
  const std::string mkv = makeClip(home, "two.mkv", 2);
  auto place = [&](const std::string& from, const std::string& folder, const std::string& name) {
    std::filesystem::create_directories(media + "/" + folder);
    std::filesystem::copy_file(from, media + "/" + folder + "/" + name);
    return media + "/" + folder + "/" + name;
  };
  for (int index = 1; index <= 4; ++index) {
    place(mp4, "", "Clip " + std::to_string(index) + ".mp4");
  }
  std::string stopped;
  for (int index = 1; index <= 8; ++index) {
    const std::string made = place(mkv, "Lectures", "Lecture " + std::to_string(index) + ".mkv");
    if (index == 3) {
      stopped = made;
    }
  }
  for (int index = 1; index <= 6; ++index) {
    place(mp4, "Music videos", "Song " + std::to_string(index) + ".mp4");
  }
  for (int index = 1; index <= 5; ++index) {
    place(mkv, "Travel/Italy", "Rome day " + std::to_string(index) + ".mkv");
  }
  for (int index = 1; index <= 6; ++index) {
    place(mp4, "Travel/Japan", "Kyoto " + std::to_string(index) + ".mp4");
  }
  place(mp4, "Travel", "Intro.mp4");
  auto defaults = SqliteDefaults::open(home.store());
  const std::string mediaID = "mkv:" + fileURL(stopped);
  defaults->set("lastPlaybackPositions",
                PropertyList(PropertyList::Dictionary{{mediaID, PropertyList(95.0)}}));
  defaults->set("mediaDurations",
                PropertyList(PropertyList::Dictionary{{mediaID, PropertyList(300.0)}}));
  defaults->set("playlistScope",
                PropertyList(PlaylistLibrary::stableID(media + "/Lectures").uuidString()));
  return media;
}

// The toolbar's playlist button opens the panel on the folder played last; a link typed into its
// field joins the library, and Delete takes the selected row out again.
TEST(PlayerEndToEndPlaylist, TheToolbarOpensThePanelWhereLinksAreAddedAndRemoved) {
  if (!hasXdotool()) {
    GTEST_SKIP() << "needs xdotool";
  }
  Home home;
  makeNestedMediaFolder(home);
  Player player(home, {}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return !windowState().empty(); }, 30)) << player.log();
  ASSERT_TRUE(waitUntil([&] { return storedLibrary(home).size() == 7; }, 30)) << player.log();
  clickControl(kPlaylistX, kControlsY);
  const auto panel = findPanel();
  ASSERT_TRUE(panel) << player.log();
  EXPECT_TRUE(player.logContains("Playlist shown at Lectures")) << player.log();
  // Thumbnails are made in the background.
  panel->restPointer();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  screenshot("playlist-panel.png");

  const std::string link = "http://127.0.0.1:9/talk.mp4";
  panel->clickLinkField();
  xdotool({"type", "--delay", "20", "  " + link + "  "});
  xdotool({"key", "Return"});
  ASSERT_TRUE(waitUntil([&] { return libraryHolds(home, link); }, 10)) << player.log();
  // The new item is the open folder's last row, after its eight lectures.
  panel->clickRow(0);
  xdotool({"key", "End"});
  // Its artwork is the link's symbol, and being selected it shows its two buttons.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  screenshot("playlist-link-added.png");
  xdotool({"key", "Delete"});
  EXPECT_TRUE(waitUntil([&] { return !libraryHolds(home, link); }, 10)) << player.log();
  EXPECT_EQ(PlaylistTree::items(storedLibrary(home)).size(), 30u);

  // A file's menu: Play, Rename…, Copy Link, Show in Files, then Move To.
  panel->clickRow(0, 1, 3);
  panel->click(420, 122 + 21 + 4 * 30);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  screenshot("playlist-move-to.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// Playing a folder from the sidebar plays its clips in turn; the panel, opened again, marks the
// clip now playing.
TEST(PlayerEndToEndPlaylist, AFolderPlayedFromTheSidebarMovesTheCurrentMarkAsClipsEnd) {
  if (!hasXdotool()) {
    GTEST_SKIP() << "needs xdotool";
  }
  Home home;
  const std::string trip = home.folder().file("Videos/Wendle Media/Trip");
  std::filesystem::create_directories(trip);
  std::filesystem::rename(makeClip(home, "a.mkv", 4), trip + "/first.mkv");
  std::filesystem::rename(makeClip(home, "b.mkv", 30), trip + "/second.mkv");
  Player player(home, {}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return !windowState().empty(); }, 30)) << player.log();
  ASSERT_TRUE(waitUntil([&] { return storedLibrary(home).size() == 1; }, 30)) << player.log();
  xdotool({"key", "ctrl+shift+p"});
  auto panel = findPanel();
  ASSERT_TRUE(panel) << player.log();
  panel->clickSidebar(1, 2);
  ASSERT_TRUE(waitUntil([&] { return player.logContains("Playlist hidden"); }, 10)) << player.log();
  xdotool({"key", "ctrl+shift+p"});
  ASSERT_TRUE(findPanel()) << player.log();
  EXPECT_TRUE(player.logContains("Playlist shown at Trip, playing first")) << player.log();
  // The first clip ends; the second plays, and the panel goes as each item starts.
  ASSERT_TRUE(waitUntil(
      [&] { return home.position("mkv:" + fileURL(trip + "/second.mkv")).value_or(0) >= 1; }, 30))
      << player.log();
  xdotool({"key", "ctrl+shift+p"});
  ASSERT_TRUE(findPanel()) << player.log();
  EXPECT_TRUE(player.logContains("Playlist shown at Trip, playing second")) << player.log();
  screenshot("playlist-current.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// The three empty states and the rename alert of a new folder; "Done" closes the panel.
TEST(PlayerEndToEndPlaylist, AnEmptyPlaylistAnEmptyFolderAndASearchWithoutMatchesSaySo) {
  if (!hasXdotool()) {
    GTEST_SKIP() << "needs xdotool";
  }
  Home home;
  Player player(home, {}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return !windowState().empty(); }, 30)) << player.log();
  xdotool({"key", "ctrl+shift+p"});
  const auto panel = findPanel();
  ASSERT_TRUE(panel) << player.log();
  screenshot("playlist-empty.png");
  panel->clickNewFolder();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  screenshot("playlist-rename.png");
  xdotool({"key", "ctrl+a"});
  xdotool({"type", "--delay", "20", "Holiday"});
  xdotool({"key", "Return"});
  ASSERT_TRUE(waitUntil(
      [&] {
        auto library = storedLibrary(home);
        return library.size() == 1 && library[0].name == "Holiday";
      },
      10))
      << player.log();
  // The new folder is the selected row: Return opens it.
  panel->clickRow(0);
  xdotool({"key", "Return"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  screenshot("playlist-empty-folder.png");
  panel->clickSearch();
  xdotool({"type", "--delay", "20", "zebra"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  screenshot("playlist-no-matches.png");

  panel->click(panel->width - 48, -30);
  EXPECT_TRUE(waitUntil([&] { return player.logContains("Playlist hidden"); }, 10)) << player.log();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// Each key of the commands reaches its action in the running player; a right click on the top
// strip opens the status menu there, for desktops without a tray.
TEST(PlayerEndToEndShell, TheCommandKeysActAndTheTopStripOpensTheStatusMenu) {
  if (!hasXdotool()) {
    GTEST_SKIP() << "needs xdotool";
  }
  Home home;
  Player player(home, {}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return !windowState().empty(); }, 30)) << player.log();
  auto above = [] { return windowState().find("_NET_WM_STATE_ABOVE") != std::string::npos; };
  ASSERT_TRUE(waitUntil(above, 10)) << windowState();

  xdotool({"key", "ctrl+l"});
  EXPECT_TRUE(waitUntil([&] { return !above(); }, 10)) << windowState();
  EXPECT_FALSE(storedSwitch(home, "alwaysOnTopEnabled"));
  xdotool({"key", "ctrl+l"});
  EXPECT_TRUE(waitUntil(above, 10)) << windowState();

  xdotool({"key", "ctrl+8"});
  EXPECT_TRUE(waitUntil([&] { return storedSwitch(home, "eightyTransparencyEnabled"); }, 10));
  xdotool({"key", "ctrl+8"});
  EXPECT_TRUE(waitUntil([&] { return !storedSwitch(home, "eightyTransparencyEnabled"); }, 10));

  // With the pointer away, so that hover mode does not hide the window meanwhile.
  xdotool({"mousemove", "5", "5"});
  xdotool({"key", "ctrl+t"});
  EXPECT_TRUE(waitUntil([&] { return storedSwitch(home, "hoverTransparencyEnabled"); }, 10));
  xdotool({"key", "ctrl+t"});
  EXPECT_TRUE(waitUntil([&] { return !storedSwitch(home, "hoverTransparencyEnabled"); }, 10));

  xdotool({"key", "ctrl+shift+h"});
  EXPECT_TRUE(waitUntil([] { return windowShown("Watch History"); }, 10)) << player.log();
  commandOutput("wmctrl -c 'Watch History'");
  EXPECT_TRUE(waitUntil([] { return !windowShown("Watch History"); }, 10)) << player.log();

  xdotool({"key", "ctrl+o"});
  EXPECT_TRUE(waitUntil([] { return windowShown("Open Streaming URL"); }, 10)) << player.log();
  xdotool({"key", "Escape"});
  EXPECT_TRUE(waitUntil([] { return !windowShown("Open Streaming URL"); }, 10));

  xdotool({"key", "ctrl+shift+p"});
  const auto panel = findPanel();
  ASSERT_TRUE(panel) << player.log();
  // Escape in the empty search field closes the panel.
  panel->clickSearch();
  xdotool({"key", "Escape"});
  EXPECT_TRUE(waitUntil([] { return !windowShown("Playlist"); }, 10)) << player.log();

  // The status menu, with the keep-on-top switch ticked.
  xdotool({"mousemove", "600", "120", "click", "3"});
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  screenshot("status-menu.png");
  xdotool({"key", "Escape"});

  // Ctrl+Q quits, saving first.
  xdotool({"key", "ctrl+q"});
  EXPECT_EQ(player.wait(20), 0) << player.log();
}

// The status menu as a tray host reads it: the item's properties, and the dbusmenu layout.
class TrayReader {
 public:
  explicit TrayReader(const Home& home) : home_(home) {}

  // The item's bus name, once the player owns it.
  bool find() {
    return waitUntil(
        [&] {
          const std::string names = call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                         "org.freedesktop.DBus.ListNames", "");
          const auto at = names.find("org.kde.StatusNotifierItem-");
          if (at == std::string::npos) {
            return false;
          }
          name_ = names.substr(at, names.find('\'', at) - at);
          return true;
        },
        20);
  }

  std::string properties() const {
    return call(name_, "/StatusNotifierItem", "org.freedesktop.DBus.Properties.GetAll",
                "org.kde.StatusNotifierItem");
  }
  std::string layout() const {
    return call(name_, "/MenuBar", "com.canonical.dbusmenu.GetLayout", "0 'int32 -1' '@as []'");
  }
  // The id of the entry with this label; -1 when there is none.
  int entry(const std::string& label) const {
    const std::string text = layout();
    const std::string marker = "'label': <'" + label + "'>";
    const auto at = text.find(marker);
    if (at == std::string::npos) {
      return -1;
    }
    const auto open = text.rfind("<(", at);
    return open == std::string::npos ? -1 : std::atoi(text.c_str() + open + 2);
  }
  // The toggle state shown for an entry: 1 ticked, 0 not, -1 no such entry.
  int checkMark(const std::string& label) const {
    const std::string text = layout();
    const auto at = text.find("'label': <'" + label + "'>");
    const auto open = at == std::string::npos ? std::string::npos : text.rfind("<(", at);
    if (open == std::string::npos) {
      return -1;
    }
    const auto state = text.find("'toggle-state': <", open);
    return state == std::string::npos || state > at ? -1 : std::atoi(text.c_str() + state + 17);
  }
  void click(int id) const {
    call(name_, "/MenuBar", "com.canonical.dbusmenu.Event",
         std::to_string(id) + " clicked '<0>' 0");
  }

 private:
  std::string call(const std::string& destination, const std::string& path,
                   const std::string& method, const std::string& arguments) const {
    return home_.busCall(destination, path, method, arguments);
  }

  const Home& home_;
  std::string name_;
};

TEST(PlayerEndToEndShell, TheTrayMenuFollowsTheSwitchesAndPlaysAndClearsRecentVideos) {
  Home home;
  const std::string clip = dataURL(makeClip(home, "clip.webm", 30));
  standInForYouTube(home, R"({"videos": {"aaaaaaaaaaa": ")" + clip + R"(", "bbbbbbbbbbb": ")" +
                              clip +
                              R"("}, "titles": {"aaaaaaaaaaa": "First talk", "bbbbbbbbbbb": )"
                              R"("Second talk"}})");
  LocalWebServer updates;
  updates.route("/appcast.xml",
                {.contentType = "application/rss+xml",
                 .body = R"(<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/)"
                         R"(sparkle"><channel><item><sparkle:shortVersionString>99.0)"
                         R"(</sparkle:shortVersionString><link>https://example.com/notes</link>)"
                         R"(</item></channel></rss>)",
                 .extraHeaders = ""});
  home.addEnvironment("ORVEL_UPDATE_FEED=" + updates.url("/appcast.xml"));
  Player player(home, {}, "player.log");
  TrayReader tray(home);
  ASSERT_TRUE(tray.find()) << player.log();
  const std::string properties = tray.properties();
  EXPECT_NE(properties.find("'Title': <'Orvel player'>"), std::string::npos) << properties;
  EXPECT_NE(properties.find("'Menu': <objectpath '/MenuBar'>"), std::string::npos) << properties;
  // No tray host on this bus: said once, not an error.
  EXPECT_TRUE(waitUntil([&] { return player.logContains("No tray host on the session bus"); }, 10))
      << player.log();

  EXPECT_GE(tray.entry("No Recent Videos"), 0) << tray.layout();
  EXPECT_EQ(tray.checkMark("Always On Top"), 1) << tray.layout();
  // The switch changed from the application's own action: the tray's mark follows.
  activate(home, "'always-on-top'", "[]");
  EXPECT_TRUE(waitUntil([&] { return tray.checkMark("Always On Top") == 0; }, 10)) << tray.layout();
  tray.click(tray.entry("Always On Top"));
  EXPECT_TRUE(waitUntil([&] { return tray.checkMark("Always On Top") == 1; }, 10)) << tray.layout();

  // Two videos played; the older one comes back through its menu entry.
  auto launch = [&](const std::string& link) {
    Player later(home, {link}, "later.log");
    EXPECT_EQ(later.wait(10), 0) << later.log();
  };
  launch("https://youtu.be/aaaaaaaaaaa");
  ASSERT_TRUE(waitUntil([&] { return tray.entry("First talk") >= 0; }, 40)) << player.log();
  launch("https://youtu.be/bbbbbbbbbbb");
  ASSERT_TRUE(waitUntil([&] { return tray.entry("Second talk") >= 0; }, 40)) << player.log();
  EXPECT_GE(tray.entry("Recent Entries: 2"), 0) << tray.layout();
  tray.click(tray.entry("First talk"));
  EXPECT_TRUE(waitUntil(
      [&] { return home.lastURL() == "https://www.youtube.com/watch?v=aaaaaaaaaaa"; }, 40))
      << player.log();

  // The menu is laid out anew as the list changes; a click on an entry that went meanwhile is
  // ignored, as a tray host's would be.
  EXPECT_TRUE(waitUntil(
      [&] {
        tray.click(tray.entry("Clear Recent Videos"));
        return tray.entry("No Recent Videos") >= 0;
      },
      10))
      << tray.layout();
  EXPECT_GE(tray.entry("Recent Entries: 0"), 0) << tray.layout();
  EXPECT_GE(tray.entry("Watch History Entries: 2"), 0) << tray.layout();

  // The feed offers a newer version: the dialog says so and links its notes.
  tray.click(tray.entry("Check for Updates…"));
  EXPECT_TRUE(waitUntil([] { return windowShown("A new version is available"); }, 20))
      << player.log();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  screenshot("update-newer.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// A tray host that goes away and comes back gets the item again; the player plays on.
TEST(PlayerEndToEndShell, ATrayHostThatRestartsIsRegisteredWithAgain) {
  Home home;
  const std::string registrations = home.folder().file("registrations.log");
  auto count = [&] {
    std::ifstream log(registrations);
    std::string line;
    int lines = 0;
    while (std::getline(log, line)) {
      lines += line.find("registered org.kde.StatusNotifierItem-") == 0 ? 1 : 0;
    }
    return lines;
  };
  Player player(home, {}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return !windowState().empty(); }, 30)) << player.log();
  {
    Player host(home, Player::Program{ORVEL_E2E_TRAY_WATCHER, registrations}, "host.log");
    EXPECT_TRUE(waitUntil([&] { return count() == 1; }, 15)) << player.log();
    host.terminate();
  }
  Player host(home, Player::Program{ORVEL_E2E_TRAY_WATCHER, registrations}, "host.log");
  EXPECT_TRUE(waitUntil([&] { return count() == 2; }, 15)) << player.log();
  EXPECT_TRUE(player.logContains("Registered with the tray host")) << player.log();
  host.terminate();
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// The player as the desktop's media keys and media widgets reach it: MPRIS on the session bus.
class MediaControls {
 public:
  static constexpr const char* kName = "org.mpris.MediaPlayer2.OrvelPlayer";

  explicit MediaControls(const Home& home) : home_(home) {}
  ~MediaControls() {
    if (monitorPID_ > 0) {
      ::kill(monitorPID_, SIGTERM);
    }
  }
  MediaControls(const MediaControls&) = delete;
  MediaControls& operator=(const MediaControls&) = delete;

  bool find() const {
    return waitUntil(
        [&] {
          return home_
                     .busCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus.ListNames", "")
                     .find(kName) != std::string::npos;
        },
        20);
  }
  // The player's signals from now on, written to a file as gdbus prints them.
  void monitor() {
    signals_ = home_.folder().file("mpris-signals.log");
    const std::string command = "DBUS_SESSION_BUS_ADDRESS='" + home_.busAddress() +
                                "' stdbuf -oL gdbus monitor --session --dest " + kName + " >'" +
                                signals_ + "' 2>&1 & echo $!";
    monitorPID_ = std::atoi(commandOutput(command).c_str());
    // gdbus says so once it listens.
    waitUntil([&] { return readFile(signals_).find("Monitoring") != std::string::npos; }, 10);
  }
  std::string signals() const { return readFile(signals_); }

  std::string property(const std::string& name) const {
    return call("org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2.Player " + name);
  }
  std::string status() const { return property("PlaybackStatus"); }
  // The position in seconds, or -1 when it cannot be read.
  double position() const {
    const std::string text = property("Position");
    const auto at = text.find("int64 ");
    return at == std::string::npos ? -1 : std::atof(text.c_str() + at + 6) / 1e6;
  }
  // The track's object path from the metadata.
  std::string track() const {
    const std::string metadata = property("Metadata");
    const std::string marker = "objectpath '";
    const auto at = metadata.find(marker);
    return at == std::string::npos
               ? ""
               : metadata.substr(at + marker.size(),
                                 metadata.find('\'', at + marker.size()) - at - marker.size());
  }
  std::string player(const std::string& method, const std::string& arguments = "") const {
    return call("org.mpris.MediaPlayer2.Player." + method, arguments);
  }
  std::string call(const std::string& method, const std::string& arguments) const {
    return home_.busCall(kName, "/org/mpris/MediaPlayer2", method, arguments);
  }

 private:
  const Home& home_;
  std::string signals_;
  pid_t monitorPID_ = -1;
};

// An MKV on the native player and a WebM in the web view, both played, paused and sought from
// the desktop's media controls; quitting from there saves as the player's own quit does.
TEST(PlayerEndToEndShell, MprisControlsPlayback) {
  Home home;
  const std::string film = makeClip(home, "film.mkv", 20);
  const std::string clip = makeClip(home, "clip.webm", 30);
  Player player(home, {film}, "player.log");
  MediaControls controls(home);
  ASSERT_TRUE(controls.find()) << player.log();
  ASSERT_TRUE(waitUntil([&] { return controls.status() == "(<'Playing'>,)\n"; }, 30))
      << controls.status() << player.log();
  const std::string identity =
      controls.call("org.freedesktop.DBus.Properties.Get", "org.mpris.MediaPlayer2 Identity");
  EXPECT_EQ(identity, "(<'Orvel player'>,)\n");
  // The length comes with the file's duration, which the engine may report after it plays.
  std::string metadata;
  waitUntil(
      [&] {
        metadata = controls.property("Metadata");
        return metadata.find("'mpris:length'") != std::string::npos;
      },
      10);
  EXPECT_NE(metadata.find("'xesam:title': <'film'>"), std::string::npos) << metadata;
  EXPECT_NE(metadata.find("'xesam:url': <'" + fileURL(film) + "'>"), std::string::npos) << metadata;
  const auto length = metadata.find("'mpris:length': <int64 ");
  ASSERT_NE(length, std::string::npos) << metadata;
  EXPECT_NEAR(std::atof(metadata.c_str() + length + 23), 20e6, 0.3e6) << metadata;

  controls.monitor();
  controls.player("Pause");
  EXPECT_TRUE(waitUntil([&] { return controls.status() == "(<'Paused'>,)\n"; }, 10))
      << controls.status();
  const double paused = controls.position();
  ASSERT_GE(paused, 0);
  controls.player("Seek", "5000000");
  EXPECT_TRUE(waitUntil([&] { return std::abs(controls.position() - (paused + 5)) < 0.3; }, 10))
      << controls.position() << " after " << paused;
  EXPECT_TRUE(waitUntil(
      [&] {
        return controls.signals().find("org.mpris.MediaPlayer2.Player.Seeked (int64 ") !=
               std::string::npos;
      },
      10))
      << controls.signals();
  EXPECT_NE(controls.signals().find("'PlaybackStatus': <'Paused'>"), std::string::npos)
      << controls.signals();
  controls.player("SetPosition", "'" + controls.track() + "' 2000000");
  EXPECT_TRUE(waitUntil([&] { return std::abs(controls.position() - 2) < 0.3; }, 10))
      << controls.position();
  // A position past the track's end is refused; by now the engine's own reports say where it is.
  controls.player("SetPosition", "'" + controls.track() + "' 90000000");
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_LT(std::abs(controls.position() - 2), 0.3) << controls.position();

  // A WebM opened from there plays in the web view, and pauses and plays again from there too.
  controls.player("OpenUri", "'" + fileURL(clip) + "'");
  ASSERT_TRUE(waitUntil(
      [&] {
        return controls.property("Metadata").find("clip.webm") != std::string::npos &&
               controls.status() == "(<'Playing'>,)\n";
      },
      30))
      << controls.property("Metadata") << player.log();
  controls.player("PlayPause");
  EXPECT_TRUE(waitUntil([&] { return controls.status() == "(<'Paused'>,)\n"; }, 10))
      << controls.status();
  const double webPaused = controls.position();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_NEAR(controls.position(), webPaused, 0.1);
  controls.player("PlayPause");
  EXPECT_TRUE(waitUntil([&] { return controls.position() > webPaused + 1; }, 10))
      << controls.position() << " after " << webPaused;
  screenshot("mpris-webm.png");

  controls.call("org.mpris.MediaPlayer2.Quit", "");
  EXPECT_EQ(player.wait(20), 0) << player.log();
  EXPECT_GE(home.position("webm:" + fileURL(clip)).value_or(0), 1);
}

// "Send Feedback…" in the status menu opens the feedback window, in both of its kinds; the key
// field shows no key.
TEST(PlayerEndToEndShell, TheFeedbackWindowOpensFromTheStatusMenuInBothKinds) {
  if (!hasXdotool()) {
    GTEST_SKIP() << "needs xdotool";
  }
  Home home;
  SqliteDefaults::open(home.store())->set("settings.resendAPIKey", PropertyList("re_secret"));
  Player player(home, {}, "player.log");
  TrayReader tray(home);
  ASSERT_TRUE(tray.find()) << player.log();
  ASSERT_TRUE(waitUntil([&] { return !windowState().empty(); }, 30)) << player.log();
  tray.click(tray.entry("Send Feedback…"));
  std::string id;
  ASSERT_TRUE(waitUntil(
      [&] {
        id = commandOutput("xdotool search --onlyvisible --name '^Send Feedback$' | head -n 1");
        return !id.empty();
      },
      15))
      << player.log();
  id = id.substr(0, id.find('\n'));
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  const WindowGeometry window = windowGeometry(id);
  xdotool(
      {"mousemove", std::to_string(window.x + 200), std::to_string(window.y + 260), "click", "1"});
  xdotool({"type", "--delay", "10", "The playlist is lovely."});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  screenshot("feedback-written.png");
  // "Survey" is the first of the two kinds.
  xdotool(
      {"mousemove", std::to_string(window.x + 90), std::to_string(window.y + 127), "click", "1"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  xdotool(
      {"mousemove", std::to_string(window.x + 80), std::to_string(window.y + 165), "click", "1"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  screenshot("feedback-survey.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// The watch history window shows the YouTube videos of the history, with their stars and a
// mark for a note, and leaves the other records out.
TEST(PlayerEndToEndShell, TheWatchHistoryWindowListsTheYouTubeVideos) {
  if (!hasXdotool()) {
    GTEST_SKIP() << "needs xdotool";
  }
  Home home;
  std::vector<RecentVideoItem> history;
  const char* titles[] = {"A lecture on colour", "Rainy walk through Kyoto", "Making bread at home",
                          "How tides work", "Live session, full set"};
  const char* ids[] = {"aaaaaaaaaaa", "bbbbbbbbbbb", "ccccccccccc", "ddddddddddd", "eeeeeeeeeee"};
  for (int index = 0; index < 5; ++index) {
    RecentVideoItem item;
    item.videoID = ids[index];
    item.title = titles[index];
    item.lastPosition = 61.0 * (index + 1);
    item.lastPlayedAt = Date{800000000.0 - index * 3600};
    item.sourceURL = "https://www.youtube.com/watch?v=" + std::string(ids[index]);
    history.push_back(item);
  }
  history[1].watchLaterStars = 4;
  history[2].watchNote = "Try with less salt";
  RecentVideoItem file;
  file.videoID = "mkv:file:///home/film.mkv";
  file.title = "A film";
  file.sourceURL = "file:///home/film.mkv";
  history.push_back(file);
  auto encoded = RecentVideoItem::encodeList(history);
  ASSERT_TRUE(encoded);
  SqliteDefaults::open(home.store())
      ->set("settings.watchHistoryVideos", PropertyList(PropertyList::Data(*encoded)));
  Player player(home, {}, "player.log");
  ASSERT_TRUE(waitUntil([&] { return !windowState().empty(); }, 30)) << player.log();
  xdotool({"key", "ctrl+shift+h"});
  ASSERT_TRUE(waitUntil([] { return windowShown("Watch History"); }, 10)) << player.log();
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  screenshot("watch-history.png");

  const std::string id =
      commandOutput("xdotool search --onlyvisible --name '^Watch History$' | head -n 1");
  const WindowGeometry window = windowGeometry(id.substr(0, id.find('\n')));
  auto click = [&](int x, int y) {
    xdotool(
        {"mousemove", std::to_string(window.x + x), std::to_string(window.y + y), "click", "1"});
  };
  auto stored = [&](const std::string& videoID) {
    for (const RecentVideoItem& item : home.history()) {
      if (item.videoID == videoID) {
        return item;
      }
    }
    return RecentVideoItem{};
  };
  // The third star of the first row.
  click(563, 94);
  EXPECT_TRUE(waitUntil([&] { return stored("aaaaaaaaaaa").watchLaterStars == 3; }, 10));
  // Its note: every keystroke is stored.
  click(470, 94);
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  click(300, 150);
  xdotool({"type", "--delay", "20", "Watch again"});
  EXPECT_TRUE(waitUntil([&] { return stored("aaaaaaaaaaa").watchNote == "Watch again"; }, 10))
      << stored("aaaaaaaaaaa").watchNote;
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  screenshot("watch-history-note.png");
  EXPECT_EQ(player.terminate(), 0) << player.log();
}

// ---- Crash safety ----------------------------------------------------------------------------
// A clip whose picture tells its own time: red climbs through 0-255 every ten seconds, green
// steps by 20 every ten seconds, blue stays at 128. Five frames a second.
std::string makeClockClip(const Home& home, const std::string& name, int seconds) {
  const std::string path = home.folder().file(name);
  std::vector<std::string> command{"ffmpeg",
                                   "-nostdin",
                                   "-v",
                                   "error",
                                   "-y",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "color=c=black:s=160x90:r=5:d=" + std::to_string(seconds) +
                                       ",format=gbrp,geq=r=25.5*mod(T\\,10):g=20*floor(T/10):b=128",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "sine=f=440:d=" + std::to_string(seconds),
                                   "-pix_fmt",
                                   "yuv420p"};
  if (name.ends_with(".webm")) {
    command.insert(command.end(), {"-c:v", "libvpx", "-deadline", "realtime", "-cpu-used", "8",
                                   "-c:a", "libopus"});
  } else {
    command.insert(command.end(), {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"});
  }
  command.push_back(path);
  EXPECT_TRUE(run(command)) << "ffmpeg could not make " << name;
  return path;
}

// The time a clock clip shows at the window's centre, or none when it shows something else.
std::optional<double> shownClockTime() {
  const auto pixel = readScreenPixel(640, 400);
  if (!pixel || std::abs((*pixel)[2] - 128) > 12) {
    return std::nullopt;
  }
  return std::round((*pixel)[1] / 20.0) * 10 + (*pixel)[0] / 25.5;
}

// Whether the store is whole, as SQLite checks it once the player is gone.
std::string storeIntegrity(const Home& home) {
  sqlite3* database = nullptr;
  std::string answer = "cannot open";
  if (sqlite3_open_v2(home.store().c_str(), &database, SQLITE_OPEN_READWRITE, nullptr) ==
      SQLITE_OK) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database, "PRAGMA integrity_check", -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
      answer = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
  }
  sqlite3_close(database);
  return answer;
}

// Killed without warning at random moments while MKV and WebM take turns, the player keeps a
// whole store, every history entry, and the position to within a second and a half. The number of
// kills is $ORVEL_KILL_COUNT (10 unless set; bench/kill_test.sh runs 100).
TEST(PlayerEndToEndCrash, KilledAtRandomMomentsItKeepsTheStoreTheHistoryAndThePosition) {
  const char* countText = std::getenv("ORVEL_KILL_COUNT");
  const int kills = countText ? std::max(1, std::atoi(countText)) : 10;
  Home home;
  const int clipSeconds = 20 + kills * 2;
  const std::string clips[] = {makeClockClip(home, "clock.mkv", clipSeconds),
                               makeClockClip(home, "clock.webm", clipSeconds)};
  const std::string mediaIDs[] = {"mkv:" + fileURL(clips[0]), "webm:" + fileURL(clips[1])};
  const unsigned seed = static_cast<unsigned>(std::time(nullptr));
  std::srand(seed);
  std::vector<double> losses;
  for (int kill = 0; kill < kills; ++kill) {
    const int which = kill % 2;
    std::vector<std::string> before;
    for (const RecentVideoItem& item : home.history()) {
      before.push_back(item.videoID);
    }
    Player player(home, {clips[which]}, "player-" + std::to_string(kill) + ".log");
    // Some kills come while it starts, most while it plays.
    const double delay = 0.8 + (std::rand() % 4200) / 1000.0;
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(delay * 1000)));
    const auto looked = std::chrono::steady_clock::now();
    const std::optional<double> shown = shownClockTime();
    player.kill();
    const double sinceLooked =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - looked).count();
    const std::string context = "kill " + std::to_string(kill) + " after " + std::to_string(delay) +
                                " s (seed " + std::to_string(seed) + ")\n" + player.log();

    ASSERT_EQ(storeIntegrity(home), "ok") << context;
    std::vector<std::string> after;
    for (const RecentVideoItem& item : home.history()) {
      after.push_back(item.videoID);
    }
    for (const std::string& videoID : before) {
      EXPECT_NE(std::find(after.begin(), after.end(), videoID), after.end())
          << videoID << " left the history; " << context;
    }
    if (shown) {
      // What played until the kill, at the latest, against what a restart resumes from.
      const double lost = *shown + sinceLooked - home.position(mediaIDs[which]).value_or(0);
      losses.push_back(lost);
      EXPECT_LE(lost, 1.5) << "shown " << *shown << "; " << context;
    }
  }
  ASSERT_FALSE(losses.empty());
  const double worst = *std::max_element(losses.begin(), losses.end());
  double sum = 0;
  for (double lost : losses) {
    sum += lost;
  }
  std::printf("%d kills, %zu while playing: position lost at most %.2f s, %.2f s on average\n",
              kills, losses.size(), worst, sum / static_cast<double>(losses.size()));
}

}  // namespace
}  // namespace orvel

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: orvel_e2e_tests PLAYER [ARTEFACT_FOLDER]\n");
    return 2;
  }
  orvel::gPlayer = std::filesystem::absolute(argv[1]).string();
  if (argc >= 3) {
    orvel::gArtefacts = argv[2];
    std::filesystem::create_directories(orvel::gArtefacts);
  }
  return RUN_ALL_TESTS();
}

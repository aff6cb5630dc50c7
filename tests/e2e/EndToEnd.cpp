// SPDX-License-Identifier: GPL-3.0-or-later

#include "e2e/EndToEnd.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/SqliteDefaults.h"
#include "core/Url.h"
#include "e2e/XDisplay.h"
#include "playlist/PlaylistLibrary.h"

extern char** environ;

namespace orvel::e2e {

namespace {

std::string gPlayer;
std::string gArtefacts;

using Clock = std::chrono::steady_clock;

std::string quoted(const std::string& text) {
  std::string result = "'";
  for (char character : text) {
    result += character == '\'' ? std::string("'\\''") : std::string(1, character);
  }
  return result + "'";
}

}  // namespace

const std::string& playerProgram() {
  return gPlayer;
}

bool waitUntil(const std::function<bool()>& condition, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
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
    command += quoted(argument) + " ";
  }
  return std::system(command.c_str()) == 0;
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

std::string fileURL(const std::string& path) {
  return Url::fileURL(path)->absoluteString();
}

std::string dataURL(const std::string& path) {
  const std::string bytes = readFile(path);
  gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
  std::string url = std::string("data:video/webm;base64,") + encoded;
  g_free(encoded);
  return url;
}

void screenshot(const std::string& name) {
  if (gArtefacts.empty() || !std::getenv("DISPLAY")) {
    return;
  }
  run({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "x11grab", "-video_size", "1280x800", "-i",
       std::getenv("DISPLAY"), "-frames:v", "1", gArtefacts + "/" + name});
}

// ---- Home ------------------------------------------------------------------------------------

Home::Home() {
  for (const char* folder : {"config", "data", "cache", "state", "Videos", "runtime"}) {
    std::filesystem::create_directories(folder_.file(folder));
  }
  startBus();
}

Home::~Home() {
  if (busPID_ > 0) {
    ::kill(busPID_, SIGTERM);
  }
}

std::vector<std::string> Home::environment() const {
  std::vector<std::string> variables;
  // A variable the test adds replaces the one this process was given.
  auto addedByTest = [&](const std::string& variable) {
    const std::string name = variable.substr(0, variable.find('=') + 1);
    return std::any_of(extra_.begin(), extra_.end(),
                       [&](const std::string& added) { return added.starts_with(name); });
  };
  for (char** entry = environ; *entry; ++entry) {
    std::string variable = *entry;
    if (!variable.starts_with("HOME=") && !variable.starts_with("XDG_") && !addedByTest(variable)) {
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

// A session bus of this home's own that activates nothing: no desktop portals, whose document
// portal would mount itself in the runtime folder, and no accessibility bus.
void Home::startBus() {
  const std::string config = folder_.file("bus.conf");
  std::ofstream(config)
      << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
         "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig><type>session</type><listen>unix:dir="
      << folder_.file("runtime")
      << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
         "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
         "<allow own=\"*\"/></policy></busconfig>\n";
  const std::string command = "dbus-daemon --config-file=" + quoted(config) +
                              " --fork --print-address=1 --print-pid=1 2>/dev/null";
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

std::string Home::busCall(const std::string& destination, const std::string& path,
                          const std::string& method, const std::string& arguments) const {
  return commandOutput("DBUS_SESSION_BUS_ADDRESS=" + quoted(busAddress_) +
                       " gdbus call --session --dest " + destination + " --object-path " + path +
                       " --method " + method + " " + arguments + " 2>&1");
}

std::vector<Control> Home::controls() const {
  std::vector<Control> found;
  GError* error = nullptr;
  GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
      busAddress_.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  if (!bus) {
    g_clear_error(&error);
    return found;
  }
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "com.example.OrvelPlayer", "/com/example/OrvelPlayer/Controls",
      "com.example.OrvelPlayer.Controls", "List", nullptr, G_VARIANT_TYPE("(a(siiii))"),
      G_DBUS_CALL_FLAGS_NONE, 20000, nullptr, &error);
  g_clear_error(&error);
  if (reply) {
    GVariantIter* entries = nullptr;
    g_variant_get(reply, "(a(siiii))", &entries);
    const char* name = nullptr;
    Control control;
    while (g_variant_iter_next(entries, "(&siiii)", &name, &control.x, &control.y, &control.width,
                               &control.height)) {
      control.name = name;
      found.push_back(control);
    }
    g_variant_iter_free(entries);
    g_variant_unref(reply);
  }
  g_dbus_connection_close_sync(bus, nullptr, nullptr);
  g_object_unref(bus);
  return found;
}

std::optional<Control> Home::control(const std::string& name, double seconds,
                                     std::optional<Box> within) const {
  std::optional<Control> found;
  waitUntil(
      [&] {
        for (const Control& control : controls()) {
          if (control.name == name &&
              (!within || within->contains(control.centreX(), control.centreY()))) {
            found = control;
            return true;
          }
        }
        return false;
      },
      seconds);
  return found;
}

std::string Home::controlNames() const {
  std::string names;
  for (const Control& control : controls()) {
    names += "\"" + control.name + "\" at " + std::to_string(control.x) + ", " +
             std::to_string(control.y) + " (" + std::to_string(control.width) + " x " +
             std::to_string(control.height) + ")\n";
  }
  return names.empty() ? "no control shown\n" : names;
}

std::optional<PropertyList> Home::stored(const std::string& key) const {
  sqlite3* database = nullptr;
  std::optional<PropertyList> value;
  if (sqlite3_open_v2(store().c_str(), &database, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(database, 5000);
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

std::optional<double> Home::position(const std::string& mediaID) const {
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

std::optional<std::string> Home::lastURL() const {
  auto value = stored("lastURL");
  const std::string* text = value ? value->get<std::string>() : nullptr;
  return text ? std::optional(*text) : std::nullopt;
}

std::vector<RecentVideoItem> Home::history() const {
  auto value = stored("settings.watchHistoryVideos");
  const auto* data = value ? value->get<PropertyList::Data>() : nullptr;
  if (!data) {
    return {};
  }
  auto decoded = RecentVideoItem::decodeList(std::string(data->begin(), data->end()));
  return decoded ? decoded->items : std::vector<RecentVideoItem>{};
}

bool Home::storedSwitch(const std::string& name) const {
  auto value = stored("settings." + name);
  const bool* on = value ? value->get<bool>() : nullptr;
  return on && *on;
}

std::optional<std::string> Home::storedFrame() const {
  auto value = stored("playerWindowFrame");
  const std::string* text = value ? value->get<std::string>() : nullptr;
  return text ? std::optional(*text) : std::nullopt;
}

PlaylistTree::Nodes Home::storedLibrary() const {
  return PlaylistLibrary::load(*SqliteDefaults::open(store()));
}

bool Home::libraryHolds(const std::string& url) const {
  bool found = false;
  PlaylistTree::forEachItem(storedLibrary(), [&](const PlaylistNode& item) {
    found = found || item.url == url;
    return !found;
  });
  return found;
}

// ---- Player ----------------------------------------------------------------------------------

Player::Player(const Home& home, std::vector<std::string> arguments, const std::string& logName)
    : log_(home.folder().file(logName)) {
  std::vector<std::string> argv{gPlayer};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  start(home, argv);
}

Player::Player(const Home& home, const Program& program, const std::string& logName)
    : log_(home.folder().file(logName)) {
  start(home, {program.path, program.argument});
}

Player::~Player() {
  kill();
}

bool Player::logContains(const std::string& text) const {
  return log().find(text) != std::string::npos;
}

std::size_t Player::logCount(const std::string& text) const {
  const std::string whole = log();
  std::size_t count = 0;
  for (auto at = whole.find(text); at != std::string::npos; at = whole.find(text, at + 1)) {
    ++count;
  }
  return count;
}

void Player::kill() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

std::optional<int> Player::terminate(double seconds) {
  ::kill(pid_, SIGTERM);
  return wait(seconds);
}

std::optional<int> Player::wait(double seconds) {
  int status = 0;
  const bool exited = waitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, seconds);
  if (!exited) {
    return std::nullopt;
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<std::pair<pid_t, std::string>> Player::descendants() const {
  std::vector<std::pair<pid_t, std::string>> found;
  std::vector<pid_t> pending{pid_};
  while (!pending.empty()) {
    const pid_t current = pending.back();
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

bool Player::runsWebEngine() const {
  for (const auto& [pid, name] : descendants()) {
    if (name.starts_with("WebKit")) {
      return true;
    }
  }
  return false;
}

int Player::killWebProcesses() const {
  int killed = 0;
  for (const auto& [pid, name] : descendants()) {
    if (name.starts_with("WebKitWebProces")) {
      killed += ::kill(pid, SIGKILL) == 0;
    }
  }
  return killed;
}

void Player::start(const Home& home, const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& argument : argv) {
    args.push_back(const_cast<char*>(argument.c_str()));
  }
  args.push_back(nullptr);
  const auto environment = home.environment();
  std::vector<char*> env;
  for (const auto& variable : environment) {
    env.push_back(const_cast<char*>(variable.c_str()));
  }
  env.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addchdir_np(&actions, home.folder().path().c_str());
  if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), env.data()) != 0) {
    pid_ = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
}

bool playsTo(const Home& home, const std::string& mediaID, double seconds) {
  return waitUntil([&] { return home.position(mediaID).value_or(0) >= seconds; }, 60);
}

// ---- Media -----------------------------------------------------------------------------------

std::string makeClip(const Home& home, const std::string& name, double seconds, int toneFrequency,
                     const std::string& picture) {
  const std::string path = home.folder().file(name);
  const std::string extension = std::filesystem::path(name).extension().string();
  std::vector<std::string> command{"ffmpeg",
                                   "-nostdin",
                                   "-v",
                                   "error",
                                   "-y",
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   picture,
                                   "-f",
                                   "lavfi",
                                   "-i",
                                   "sine=f=" + std::to_string(toneFrequency),
                                   "-t",
                                   std::to_string(seconds)};
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

void standInForYouTube(Home& home, const std::string& configuration) {
  const std::string config = home.folder().file("standin-config.js");
  std::ofstream(config) << "window.__standin = " << configuration << ";\n";
  home.addEnvironment("ORVEL_EXTRA_PAGE_SCRIPTS=" + config + ":" + ORVEL_E2E_SOURCE_DIR +
                      "/youtube-standin.js");
}

void activate(const Home& home, const std::string& action, const std::string& parameter) {
  const std::string answer =
      home.busCall("com.example.OrvelPlayer", "/com/example/OrvelPlayer",
                   "org.gtk.Actions.Activate", action + " \"" + parameter + "\" \"{}\"");
  EXPECT_EQ(answer, "()\n") << action;
}

// ---- Windows, the pointer and the keyboard ---------------------------------------------------

std::unique_ptr<Player> replaceWindowManager(const Home& home, const std::string& command) {
  const std::string path = commandOutput("command -v " + command);
  if (path.empty()) {
    return nullptr;
  }
  const std::string before = x11::windowManagerName();
  // mutter's event sounds and KWin's own session are of no use here and only add noise.
  const std::string script = home.folder().file(command + ".sh");
  std::ofstream(script) << "export CANBERRA_DRIVER=null QT_QPA_PLATFORM=xcb\n"
                        << "exec " << command << (command == "mutter" ? " --x11" : "")
                        << " --replace" << (command == "mutter" ? " --sm-disable" : "") << "\n";
  auto manager =
      std::make_unique<Player>(home, Player::Program("/bin/sh", script), command + ".log");
  const bool tookOver = waitUntil(
      [&] {
        const std::string name = x11::windowManagerName();
        return !name.empty() && name != before && x11::isCompositing();
      },
      60);
  return tookOver ? std::move(manager) : nullptr;
}

unsigned long findWindow(const std::string& title) {
  return x11::findClientWindow(title);
}

std::optional<unsigned long> waitForWindow(const std::string& title, double seconds) {
  unsigned long window = 0;
  // Managed: the window manager has framed it and placed it. Placed: it stays where it is for a
  // moment.
  std::optional<x11::Geometry> last;
  const bool placed = waitUntil(
      [&] {
        window = findWindow(title);
        if (!window || !x11::isManaged(window)) {
          last.reset();
          return false;
        }
        const auto now = x11::geometry(window);
        const bool still = last && now && now->x == last->x && now->y == last->y &&
                           now->width == last->width && now->height == last->height;
        last = now;
        return still;
      },
      seconds);
  return placed ? std::optional(window) : std::nullopt;
}

bool windowShown(const std::string& title) {
  return findWindow(title) != 0;
}

WindowGeometry windowGeometry(unsigned long window) {
  const auto geometry = x11::geometry(window);
  return geometry ? WindowGeometry{geometry->x, geometry->y, geometry->width, geometry->height}
                  : WindowGeometry{};
}

std::string playerWindowState() {
  const unsigned long window = findWindow("Orvel player");
  if (!window) {
    return "";
  }
  return commandOutput("xprop -id " + std::to_string(window) +
                       " _NET_WM_STATE _NET_WM_DESKTOP 2>/dev/null");
}

bool playerIsAbove() {
  return playerWindowState().find("_NET_WM_STATE_ABOVE") != std::string::npos;
}

// Not xdotool's own --sync, which waits for a motion that never comes when the pointer is there
// already.
void pointerTo(int x, int y) {
  run({"xdotool", "mousemove", std::to_string(x), std::to_string(y)});
  waitUntil([&] { return x11::pointerPosition() == std::pair{x, y}; }, 10);
}

void clickAt(int x, int y, int button, int count) {
  pointerTo(x, y);
  run({"xdotool", "click", "--repeat", std::to_string(count), "--delay", "80",
       std::to_string(button)});
}

void pressKeys(const std::vector<std::string>& keys) {
  std::vector<std::string> command{"xdotool", "key", "--delay", "60"};
  command.insert(command.end(), keys.begin(), keys.end());
  run(command);
}

void typeText(const std::string& text) {
  run({"xdotool", "type", "--delay", "30", text});
}

bool focusWindow(unsigned long window) {
  return waitUntil(
      [&] {
        if (x11::activeWindow() == window) {
          return true;
        }
        run({"xdotool", "windowactivate", std::to_string(window)});
        return waitUntil([&] { return x11::activeWindow() == window; }, 2);
      },
      30);
}

std::unique_ptr<Player> dragFileOnto(const Home& home, const std::string& path,
                                     const WindowGeometry& target,
                                     const std::function<bool()>& whileOver) {
  auto source =
      std::make_unique<Player>(home, Player::Program{ORVEL_E2E_DRAG_SOURCE, path}, "source.log");
  const auto sourceWindow = waitForWindow("Orvel drag source");
  if (!sourceWindow) {
    return nullptr;
  }
  run({"xdotool", "windowmove", "--sync", std::to_string(*sourceWindow), "20", "700"});
  const WindowGeometry from = windowGeometry(*sourceWindow);
  const int x = from.centreX();
  const int y = from.centreY();
  pointerTo(x, y);
  run({"xdotool", "mousedown", "1"});
  for (int step = 1; step <= 6; ++step) {
    pointerTo(x + (target.centreX() - x) * step / 6, y + (target.centreY() - y) * step / 6);
  }
  // A drop target hears of the drag once the pointer moves over it.
  const bool over = waitUntil(
      [&] {
        pointerTo(target.centreX() + 10, target.centreY() + 10);
        pointerTo(target.centreX(), target.centreY());
        return whileOver();
      },
      30);
  return over ? std::move(source) : nullptr;
}

std::optional<unsigned long> playerWindow(const Home& home, double seconds) {
  const auto window = waitForWindow("Orvel player", seconds);
  if (!window) {
    return std::nullopt;
  }
  const bool placed = waitUntil(
      [&] {
        double x = 0, y = 0, width = 0, height = 0;
        const auto stored = home.storedFrame();
        if (!stored || std::sscanf(stored->c_str(), "{{%lf, %lf}, {%lf, %lf}}", &x, &y, &width,
                                   &height) != 4) {
          return false;
        }
        const WindowGeometry shown = windowGeometry(*window);
        return shown.x == std::lround(x) && shown.y == std::lround(y) &&
               shown.width == std::lround(width) && shown.height == std::lround(height);
      },
      seconds);
  return placed ? window : std::nullopt;
}

// A move inside the window shows the bars, whatever the pointer did before.
void hoverOver(const WindowGeometry& window) {
  pointerTo(window.centreX(), window.centreY());
  pointerTo(window.centreX() + 10, window.centreY() + 10);
}

std::optional<Control> clickPlayerControl(const Home& home, const std::string& name, int button) {
  const auto window = playerWindow(home);
  if (!window) {
    return std::nullopt;
  }
  hoverOver(windowGeometry(*window));
  return clickControl(home, name, button);
}

std::optional<Control> clickControl(const Home& home, const std::string& name, int button,
                                    int count, std::optional<Box> within) {
  const auto control = home.control(name, 30, within);
  if (control) {
    clickAt(control->centreX(), control->centreY(), button, count);
  }
  return control;
}

}  // namespace orvel::e2e

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) {
    return RUN_ALL_TESTS();
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: orvel_e2e_tests [gtest options] PLAYER [ARTEFACT_FOLDER]\n");
    return 2;
  }
  orvel::e2e::gPlayer = std::filesystem::absolute(argv[1]).string();
  if (argc >= 3) {
    orvel::e2e::gArtefacts = argv[2];
    std::filesystem::create_directories(orvel::e2e::gArtefacts);
  }
  return RUN_ALL_TESTS();
}

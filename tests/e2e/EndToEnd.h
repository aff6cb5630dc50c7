// SPDX-License-Identifier: GPL-3.0-or-later

// The harness of the end-to-end tests: the real player, driven as a user drives it, on the
// virtual display of tests/e2e/run-e2e.sh. Each test has a home and a session bus of its own.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/PropertyList.h"
#include "playlist/PlaylistTree.h"
#include "settings/RecentVideoItem.h"
#include "support/TemporaryFolder.h"

namespace orvel::e2e {

// Polls until the condition holds or the time is up. Deadlines are generous: these tests wait on
// a real engine, on a machine that may be busy with other work.
bool waitUntil(const std::function<bool()>& condition, double seconds);

// The player program under test, as the command line named it.
const std::string& playerProgram();

std::string readFile(const std::string& path);
// Runs a program with these arguments; true when it exits with 0.
bool run(const std::vector<std::string>& arguments);
// What a shell command prints.
std::string commandOutput(const std::string& command);

std::string fileURL(const std::string& path);
// The file as a data URL of WebM video.
std::string dataURL(const std::string& path);

// Saves the whole screen to the artefact folder, for a person to look at.
void screenshot(const std::string& name);

// A rectangle of the screen, in the X server's pixels.
struct Box {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  int centreX() const { return x + width / 2; }
  int centreY() const { return y + height / 2; }
  bool contains(int pointX, int pointY) const {
    return pointX >= x && pointX < x + width && pointY >= y && pointY < y + height;
  }
};

// Where a window is on screen, inside any frame the window manager gave it.
using WindowGeometry = Box;

// A control that the player shows, where it is on screen.
struct Control : Box {
  std::string name;
};

// A home with its own configuration, data and cache folders, and its own session bus.
class Home {
 public:
  Home();
  ~Home();
  Home(const Home&) = delete;
  Home& operator=(const Home&) = delete;

  const TemporaryFolder& folder() const { return folder_; }
  std::string store() const { return folder_.file("config/Wendle/defaults.sqlite3"); }
  std::vector<std::string> environment() const;
  void addEnvironment(std::string variable) { extra_.push_back(std::move(variable)); }
  const std::string& busAddress() const { return busAddress_; }
  // A method call on the private bus, answered as gdbus prints it (or its error).
  std::string busCall(const std::string& destination, const std::string& path,
                      const std::string& method, const std::string& arguments) const;

  // The controls the player shows now, in the order of its windows and their widgets.
  std::vector<Control> controls() const;
  // The first shown control of this name (its label, help text or text), once the player shows
  // it; only one whose middle lies in `within`, when given.
  std::optional<Control> control(const std::string& name, double seconds = 30,
                                 std::optional<Box> within = std::nullopt) const;
  // The names of the shown controls, for a failure's message.
  std::string controlNames() const;

  // A stored value as the player wrote it, read while the player may still run.
  std::optional<PropertyList> stored(const std::string& key) const;
  std::optional<double> position(const std::string& mediaID) const;
  std::optional<std::string> lastURL() const;
  std::vector<RecentVideoItem> history() const;
  bool storedSwitch(const std::string& name) const;
  std::optional<std::string> storedFrame() const;
  PlaylistTree::Nodes storedLibrary() const;
  bool libraryHolds(const std::string& url) const;

 private:
  void startBus();

  TemporaryFolder folder_;
  std::vector<std::string> extra_;
  std::string busAddress_;
  pid_t busPID_ = -1;
};

// One run of the player, or of another program, in a home, its output kept in a log.
class Player {
 public:
  Player(const Home& home, std::vector<std::string> arguments, const std::string& logName);
  // Another program in the same home, such as a window to drag from.
  struct Program {
    explicit Program(std::string programPath, std::string programArgument)
        : path(std::move(programPath)), argument(std::move(programArgument)) {}
    std::string path;
    std::string argument;
  };
  Player(const Home& home, const Program& program, const std::string& logName);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  pid_t pid() const { return pid_; }
  std::string log() const { return readFile(log_); }
  bool logContains(const std::string& text) const;
  // How many times the log holds the text.
  std::size_t logCount(const std::string& text) const;

  // SIGKILL, as a crash or a power cut ends it: nothing runs after.
  void kill();
  // SIGTERM, as the desktop sends at log-out; the exit status, or none when it hung.
  std::optional<int> terminate(double seconds = 30);
  std::optional<int> wait(double seconds);

  // The processes below this one, each with its command name.
  std::vector<std::pair<pid_t, std::string>> descendants() const;
  bool runsWebEngine() const;
  // Kills the web engine's content processes below this player, as a crash would.
  int killWebProcesses() const;

 private:
  void start(const Home& home, const std::vector<std::string>& argv);

  std::string log_;
  pid_t pid_ = -1;
};

// Waits until the player has stored a position of at least `seconds` for the media, as it does
// while it plays.
bool playsTo(const Home& home, const std::string& mediaID, double seconds);

// A test picture with a sine tone, in the container and codecs the file name's extension asks
// for. The picture is an ffmpeg source (lavfi), the test pattern unless given.
std::string makeClip(const Home& home, const std::string& name, double seconds,
                     int toneFrequency = 440,
                     const std::string& picture = "testsrc=size=320x180:rate=25");

// Plays YouTube links through the player page with the embed API stood in by a local script
// whose videos are clips made here, handed over as data URLs.
void standInForYouTube(Home& home, const std::string& configuration);

// Activates one of the application's actions on the bus, as `gdbus` or a desktop shell would.
void activate(const Home& home, const std::string& action, const std::string& parameter);

// ---- Windows, the pointer and the keyboard --------------------------------------------------

// Another window manager in place of the display's openbox, as long as it lives: one that
// composites, as GNOME's mutter and KDE's KWin do. `command` is "mutter" or "kwin_x11"; none
// when it is not installed or did not take the screen over.
std::unique_ptr<Player> replaceWindowManager(const Home& home, const std::string& command);

// The X window of a shown top-level window with exactly this title, or 0.
unsigned long findWindow(const std::string& title);
// Waits until such a window shows and the window manager has placed it.
std::optional<unsigned long> waitForWindow(const std::string& title, double seconds = 30);
bool windowShown(const std::string& title);
WindowGeometry windowGeometry(unsigned long window);
// The window manager's states of the player window, as xprop prints them.
std::string playerWindowState();
bool playerIsAbove();

// Pointer and keys, through the XTEST extension (xdotool): the X server has them when these
// return, and hands them to the windows in order.
void pointerTo(int x, int y);
void clickAt(int x, int y, int button = 1, int count = 1);
void pressKeys(const std::vector<std::string>& keys);
void typeText(const std::string& text);
// Gives the window the keyboard, and waits until the window manager says it has it.
bool focusWindow(unsigned long window);

// Moves the pointer inside the window, as a user about to use the player's bars does: they show.
void hoverOver(const WindowGeometry& window);

// Brings the pointer over the player window, which shows its bars, and waits until the control
// shows; then clicks it.
std::optional<Control> clickPlayerControl(const Home& home, const std::string& name,
                                          int button = 1);
// Clicks the first shown control of this name, wherever its window is, or only inside `within`.
std::optional<Control> clickControl(const Home& home, const std::string& name, int button = 1,
                                    int count = 1, std::optional<Box> within = std::nullopt);

// Drags the file from a window that offers it, as a file manager does, over the middle of
// `target`, and holds it there until `whileOver` holds (30 s at most); the caller drops it with
// the button's release. The window's program lives as long as the returned player; none when
// the window did not show or the condition did not come.
std::unique_ptr<Player> dragFileOnto(const Home& home, const std::string& path,
                                     const WindowGeometry& target,
                                     const std::function<bool()>& whileOver);

// The player window, once the player has placed it where it stored its frame: the window manager
// may put a new window elsewhere for a moment first.
std::optional<unsigned long> playerWindow(const Home& home, double seconds = 60);

}  // namespace orvel::e2e

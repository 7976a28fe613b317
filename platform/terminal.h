// The terminal and the process's command line: what a command-line tool needs
// from the system beyond files (is a stream a terminal, how wide is it, one
// key press without echo, Ctrl-C, the UTF-16 arguments and command line).
//
// Contracts (both back ends):
// - Text written through WriteText is UTF-8; on a Windows console it is shown
//   through the console's UTF-16 interface, elsewhere the bytes go out as they are.
// - The interrupt watch turns Ctrl-C (SIGINT / CTRL_C_EVENT), SIGTERM, SIGHUP and
//   Ctrl-Break (and the console's close, log-off and shut-down events) into a
//   flag that the program polls; the process is not ended by the first one. A
//   system call blocked when it comes gives up (POSIX: the file layer does not
//   retry the interrupted call; Windows: the main thread's blocked I/O is
//   cancelled), so the program sees the interrupt. A second interrupt while the
//   first is still pending removes the file registered with RemoveOnForcedExit
//   (and the folder of RemoveFolderOnForcedExit) and ends the process the system's default way, so a program stuck in a long
//   call stays killable and leaves no temporary file behind. Repeats within
//   kRepeatedInterruptMs of the first count as the same one: a supervisor such
//   as timeout(1) delivers one interrupt to the process twice.
// - ReadKey returns early (with kKeyInterrupted) when Ctrl-C arrives while it waits.
#pragma once
#include <string_view>
#include <vector>
#include "platform/text.h"
#include "platform/types.h"

namespace plat {

enum class StandardStream { Input, Output, Error };

// True when the stream is connected to an interactive terminal (a console on
// Windows, a tty on POSIX); false for files, pipes and /dev/null.
bool IsTerminal(StandardStream stream);

// Columns of the terminal behind `stream`; 0 when it is not a terminal or the
// width cannot be read.
int TerminalWidth(StandardStream stream);

// Writes UTF-8 text to standard output or standard error (Input is refused).
// False when the write fails (a closed pipe, a full disk), and for standard
// output once an interrupt is pending (the program's results are not wanted).
bool WriteText(StandardStream stream, std::string_view utf8);

// Makes standard output and standard error of a program without a console of
// its own (a Windows GUI program) reach the console of the program that started
// it: streams the parent redirected (to a file or a pipe) are kept as they are;
// missing ones are opened on the parent's console (AttachConsole with
// ATTACH_PARENT_PROCESS). False when there is nothing to write to. POSIX: the
// streams are inherited anyway; true.
bool AttachParentConsole();

// Starts watching for Ctrl-C. Idempotent. `callback`, when not null, runs once
// per interrupt in signal or system-thread context: it may only store to
// lock-free atomics.
using InterruptCallback = void (*)();
inline constexpr int kRepeatedInterruptMs = 500;
void WatchInterrupts(InterruptCallback callback = nullptr);
// True once Ctrl-C has arrived since the watch started or the flag was cleared.
bool InterruptRequested();
void ClearInterrupt();
// The file (a temporary file being written) that a second interrupt deletes
// before it ends the process; null forgets it. Call on the program's thread; the
// path is converted here, so the interrupt handler only has to delete it.
void RemoveOnForcedExit(const ZoChar* path);
// A private folder of the program's and the files it may hold, which a forced
// exit deletes after the file of RemoveOnForcedExit: the files by name (the
// handler lists nothing, it may only make plain system calls), then the folder
// once it is empty. The two registrations are independent: a command writing a
// temporary file inside the folder registers that file as usual. At most
// kForcedExitFolderFiles names; a folder or name that does not fit is not
// registered (false). Null forgets the folder. Call on the program's thread.
inline constexpr size_t kForcedExitFolderFiles = 6;
bool RemoveFolderOnForcedExit(const ZoChar* folder, const ZoChar* const* names, size_t count);

// Results of ReadKey besides a character (which is returned as a code point).
inline constexpr int kKeyEndOfInput = -1;    // standard input closed
inline constexpr int kKeyInterrupted = -2;   // Ctrl-C while waiting
inline constexpr int kKeyNotTerminal = -3;   // standard input is not a terminal

// Reads one key press from the terminal on standard input without waiting for
// Enter and without echo, and returns it as a code point. Only terminals are
// read; for anything else the result is kKeyNotTerminal.
int ReadKey();

// One byte of standard input (0..255), kKeyEndOfInput when it is closed or
// fails, kKeyInterrupted when an interrupt is pending (also one that arrives
// while the read waits). Unbuffered: every reader of standard input shares it.
int ReadInputByte();
// One line of standard input, as ReadInputByte reads it: the bytes up to "\n"
// (a final "\r" dropped) as UTF-8. A last line without a line end is still a
// line. A pending interrupt ends the read (the flag stays set; what was read of
// the line is dropped).
enum class InputLine { Line, EndOfInput, Interrupted };
InputLine ReadInputLine(String16* line);

// The program's arguments as UTF-16, argument 0 (the program) included. On
// Windows they come from the process's UTF-16 command line (argc and argv are
// then ignored); on POSIX argv is converted from UTF-8.
std::vector<String16> GetCommandLineArguments(int argc, char** argv);

// The process's whole command line as one UTF-16 text, program first. Windows:
// the system's own (GetCommandLineW; argc and argv are ignored). POSIX: argv
// converted from UTF-8 and joined by QuoteCommandLine, so that splitting it
// into words by the installer's rules gives the arguments back exactly.
String16 GetProcessCommandLine(int argc, char** argv);

}  // namespace plat

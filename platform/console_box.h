// Message boxes and the folder picker as a conversation on a text channel: the
// POSIX back end of platform/window.h, over standard error (out) and standard
// input (in). Portable, so that it is tested everywhere through a channel the
// test holds.
//
// A box writes its caption, its text and its buttons, the mnemonic in brackets
// ("&Yes" shows as "[Y]es", a label without one in brackets whole: "[OK]") and
// the default button between angle brackets, then reads one line:
// - an empty line (spaces ignored) chooses the default button;
// - one character equal to a button's mnemonic, or a button's whole label
//   without "&" (for a label "はい(&Y)" also without its "(&Y)" part) chooses
//   that button; ASCII case is ignored; the first match wins;
// - anything else writes the buttons again and reads another line;
// - at end of input the default button is chosen, and the channel is told so.
// A custom box writes its details below the message and then asks its check box
// as a second yes/no question (default: the box's current state; end of input
// keeps it).
// Conversations are serialised: a box asked on two threads at once waits for
// the other one to end, so their lines never interleave.
#pragma once
#include "platform/text.h"
#include "platform/window.h"

namespace plat {

class ConsoleChannel {
 public:
  virtual ~ConsoleChannel() = default;
  // One line without its line end (a final "\r" is dropped too); false at end
  // of input. A last line without a line end is still a line.
  virtual bool ReadLine(String16* line) = 0;
  virtual void Write(StringView16 text) = 0;
};

// The label as the console shows it: "&Yes" -> "[Y]es", "OK" -> "[OK]",
// "A&&B" -> "[A&B]".
String16 ConsoleButtonLabel(const ZoChar* label);
// A label as plain text: "&Save files in folder:" -> "Save files in folder:",
// "はい(&Y)" -> "はい", "A&&B" -> "A&B".
String16 PlainLabel(const ZoChar* label);
// The index of the button `answer` chooses, -1 for none (an empty answer is not
// a choice here: the caller applies the default).
int MatchConsoleAnswer(StringView16 answer, const BoxButton* buttons, int count);

int32_t RunConsoleMessageBox(const MessageBoxRequest& request, ConsoleChannel& channel);
int32_t RunConsoleCustomBox(const CustomBoxRequest& request, ConsoleChannel& channel);

// The folder prompt: writes the title and the start folder, reads a folder
// name. An empty line takes the start folder (the given path with startAtPath,
// else the current directory); a relative name is taken from the current
// directory. A name that is no existing folder, or does not fit the buffer, is
// reported through reportInvalidName and asked again. End of input cancels.
ZoResult RunConsoleFolderPrompt(const FolderRequest& request, ConsoleChannel& channel);

// Standard input and standard error: the POSIX boxes, and the console user
// interfaces on every system.
ConsoleChannel& StandardConsole();

}  // namespace plat

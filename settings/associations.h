// The values "fix associations" and "run at startup" write, built from the
// executable's path; platform-free so that the quoting is tested natively.
#pragma once
#include <string>
#include <vector>

namespace velmora {

struct ClassesValue {
    std::string key;   // below the classes root
    std::string name;  // empty: the key's default value
    bool binary = false;
    std::string data;  // text without its zero, or the raw bytes
};

// The twelve file-type values, in the order they are written. The path is
// quoted in both open commands: unquoted, a path with blanks lets Windows
// try "C:\Program.exe" first. "%1" stays bare, as the program's start joins
// its arguments with blanks anyway; the icon values take the path as it is.
std::vector<ClassesValue> associationvalues(const std::string& exepath);

// The start-up entry's data: the quoted path, no arguments.
std::string startupvalue(const std::string& exepath);

// The link type's open command, the value that tells whether the shell sees
// the associations.
std::string linkopencommand(const std::string& exepath);

// The web link schemes' values, scheme by scheme: a description, the empty
// "URL Protocol" that makes the key a scheme, the icon, and the open command
// with the path and the link each in quotes (a link is one argument; the
// program refuses any that carries blanks or quotes of its own).
std::vector<ClassesValue> weblinkvalues(const std::string& exepath);

// A web link scheme's open command, the value that tells whether the shell
// sees the schemes.
std::string weblinkopencommand(const std::string& exepath);
inline constexpr char kWebLinkCommandKey[] = "qw\\shell\\open\\command";

inline constexpr char kLinkCommandKey[] = "VelmoraFile\\shell\\open\\command";
// Where per-user file types live below HKEY_CURRENT_USER.
inline constexpr char kUserClassesKey[] = "Software\\Classes\\";

}  // namespace velmora

// Texts that Velmora's windows draw, for the benchmark and the window tests.
#pragma once
#include <string>
#include <vector>

namespace velmora::test {

// The About window's text, in its stored lines (joined with nothing between them).
inline const std::vector<std::string> kAboutLines = {
    "the Velmora is a new way to join games of quake and other FPS online.",
    "<br>Thanks to the <i>velmora</i> all you have to do is click a link on a web page, and ",
    "the <i>velmora</i> in the tray will connect and open up the required game.",
    "<br><br> there's the latest info in the <a href=\"readme.txt\">readme file</a> ",
    "<br><br>remember the Velmora is <b>FREE</b><br>",
    "<p align=\"right\">",
    "<a href=\"http://velmora.example.org/\">velmora.example.org</a> ",
    " <a href=\"mailto:velmora@example.org\">velmora@example.org</a> ",
    "<br><br><a href=\"done\">Done</a>",
    " ",
};

// The query window's command row.
inline const std::string kCommandRow =
    "<p align=\"right\"><a href=\"refresh\">Refresh</a>   <a href=\"go\">Join Game</a>   <a href=\"cancel\">cancel</a>";

}  // namespace velmora::test

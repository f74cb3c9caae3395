// The C++ library's container errors, with the program's hooks linked in:
// they arrive as velmora::Error carrying the library's own text, and an
// allocation too large for the address space is still std::bad_alloc.
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "base/error.h"

namespace {

struct Misuse {
    const char* what;
    std::function<void()> call;
    const char* text;  // the start of the library's message, with its numbers filled in
};

TEST(ContainerErrors, ArriveAsTheProgramsErrorWithTheLibrarysText) {
    const std::string word = "abc";
    const std::vector<int> three(3);
    const std::map<int, int> none;
    const Misuse cases[] = {
        {"vector::at past the end", [&] { (void)three.at(7); },
         "vector::_M_range_check: __n (which is 7) >= this->size() (which is 3)"},
        {"string::substr past the end", [&] { (void)word.substr(9); },
         "basic_string::substr: __pos (which is 9) > this->size() (which is 3)"},
        {"string::at past the end", [&] { (void)word.at(5); },
         "basic_string::at: __n (which is 5) >= this->size() (which is 3)"},
        {"map::at of a missing key", [&] { (void)none.at(1); }, "map::at"},
        {"string grown past its largest size", [] { std::string s; s.reserve(std::string().max_size() + 1); },
         "basic_string::_M_create"},
        {"vector grown past its largest size", [] { std::vector<int> v; v.reserve(std::vector<int>().max_size() + 1); },
         "vector::reserve"},
        {"a number that is none", [] { (void)std::stoi("port"); }, "stoi"},
        {"string from a null pointer", [] { const char* null = nullptr; std::string s(null); },
         "basic_string: construction from null is not valid"},
    };
    for (const Misuse& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.call();
            ADD_FAILURE() << "nothing was thrown";
        } catch (const velmora::Error& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, std::string(c.text).size()), c.text) << e.what();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "thrown as the library's own class: " << e.what();
        }
    }
}

TEST(ContainerErrors, AnAllocationBeyondTheAddressSpaceIsStillBadAlloc) {
    // Less than max_size(), so the library asks operator new for it.
    std::vector<char> v;
    EXPECT_THROW(v.reserve(std::numeric_limits<std::size_t>::max() / 2), std::bad_alloc);
}

}  // namespace

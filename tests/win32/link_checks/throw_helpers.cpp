// Linked as Perchlet is, with one more library throw helper than the program refers to: the
// bitset's overflow helper is not wrapped, so the library's own object that defines all of the
// helpers comes in beside the wrappers. Building this is the check; it is never run.
#include <bitset>
#include <string>

int main(int argc, char** argv) {
    const std::bitset<40> bits(static_cast<unsigned long long>(argc) << 35);
    const std::string name(argv[0]);  // at(): a wrapped helper, as the program uses them
    return static_cast<int>(bits.to_ulong()) + name.at(static_cast<std::size_t>(argc) * 1000);
}

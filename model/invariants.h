// What the model assumes of its state, checked where it relies on it.
//
// Readers of files and flags check every value before it reaches the model,
// so a release build trusts the state and checks nothing. Debug and
// sanitizer builds (NYAJKOR_CHECK_INVARIANTS) check it where an index is
// formed from it, so that any other path to a broken state (a test that
// sets one up, a reader that misses a field) stops there with the broken
// rule named instead of reading past an array.
#pragma once

#if !defined(NDEBUG) && !defined(NYAJKOR_CHECK_INVARIANTS)
#define NYAJKOR_CHECK_INVARIANTS 1
#endif

namespace nyajkor {

// Prints the rule and where it broke, then aborts.
[[noreturn]] void invariantBroken(const char* rule, const char* file, int line);

}  // namespace nyajkor

#if defined(NYAJKOR_CHECK_INVARIANTS)
#define NYAJKOR_INVARIANT(rule) ((rule) ? void(0) : ::nyajkor::invariantBroken(#rule, __FILE__, __LINE__))
#else
#define NYAJKOR_INVARIANT(rule) void(0)
#endif

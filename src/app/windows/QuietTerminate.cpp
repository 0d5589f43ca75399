// The show's terminate handler. GCC's default one prints the type and message
// of an uncaught exception, and brings along the whole C++ name demangler
// (about 40 KB) to do so; a GUI program has nowhere to print, so the shipped
// executable only aborts. Defining the handler here keeps the library's
// member that holds the default out of the link.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

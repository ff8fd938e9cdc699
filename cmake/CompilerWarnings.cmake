# varnel_warnings: an INTERFACE target that every Varnel target links, so all
# code builds with the same warning set (and -Werror when VARNEL_WERROR is on).
add_library(varnel_warnings INTERFACE)
target_compile_options(varnel_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wunused -Woverloaded-virtual
  -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough
  $<$<CXX_COMPILER_ID:GNU>:-Wmisleading-indentation -Wduplicated-cond -Wlogical-op>
  $<$<BOOL:${VARNEL_WERROR}>:-Werror>)

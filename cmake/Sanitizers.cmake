# With VARNEL_SANITIZE every target is built and linked with AddressSanitizer
# and UndefinedBehaviorSanitizer; any report ends the program.
if(VARNEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# With VARNEL_SANITIZE_THREAD every target is built and linked with
# ThreadSanitizer (the two cannot be combined with AddressSanitizer).
option(VARNEL_SANITIZE_THREAD "Build with ThreadSanitizer" OFF)
if(VARNEL_SANITIZE_THREAD)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

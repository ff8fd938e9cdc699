# With VARNEL_SANITIZE every target is built and linked with AddressSanitizer
# and UndefinedBehaviorSanitizer; any report ends the program.
if(VARNEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# AddressSanitizer and UndefinedBehaviorSanitizer for every target; any report fails the test.
add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -O1)
add_link_options(-fsanitize=address,undefined)

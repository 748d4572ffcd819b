# The game benchmark drives the game's own routines on the generated assets beside the game.
target_link_libraries(game_bench PRIVATE voxagame assetgenlib)
target_compile_definitions(game_bench PRIVATE VOXA_GAME_DIR="$<TARGET_FILE_DIR:voxa>")
add_dependencies(game_bench voxa_assets)

# Every test, with the lowest layer it needs, the support it uses and the programs it runs
# (mizuto_add_test: cmake/add_test.cmake). Included from the top-level CMakeLists.txt, so
# the tests land beside the programs they run.

# What every test may use: temporary folders, files, programs run, hand-made log lines.
add_library(mizuto_test_basics STATIC ${PROJECT_SOURCE_DIR}/tests/support/test_basics.cpp)
target_link_libraries(mizuto_test_basics PUBLIC mizuto_text)
target_include_directories(mizuto_test_basics PUBLIC ${PROJECT_SOURCE_DIR}/tests)
# An App on a temporary program folder, for the tests of the command layer and above.
add_library(mizuto_test_support STATIC ${PROJECT_SOURCE_DIR}/tests/support/test_support.cpp)
target_link_libraries(mizuto_test_support PUBLIC mizuto_app mizuto_test_basics)

# Below the command layer.
mizuto_add_test(NAME file_save_test                 LIBS mizuto_platform mizuto_test_basics)
mizuto_add_test(NAME small_file_test                LIBS mizuto_platform mizuto_test_basics)
mizuto_add_test(NAME standard_output_test           LIBS mizuto_platform mizuto_test_basics)
mizuto_add_test(NAME text_test                      LIBS mizuto_text mizuto_test_basics)
mizuto_add_test(NAME literal_set_test               LIBS mizuto_text mizuto_test_basics)
mizuto_add_test(NAME flag_set_test                  LIBS mizuto_battle mizuto_test_basics)
# The include check of the layers and of app's and gui's folders, over trees made by the test.
mizuto_add_test(NAME check_layers_test              LIBS mizuto_platform mizuto_test_basics
                                    DEFINITIONS MIZUTO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
# The program's report from outside: it only reads what the program prints.
mizuto_add_test(NAME report_test                    LIBS mizuto_text mizuto_test_basics RUNS mizuto mizuto_loggen)

# The command layer, and the lower layers tested through an App set up as the program does.
mizuto_add_test(NAME chat_log_reader_test           LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME tables_test                    LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME segmentation_test              LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME event_recognition_test         LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME game_messages_test             LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME battle_label_test              LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME battle_detail_test             LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME tallies_test                   LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME tally_table_test               LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME head_to_head_test              LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME csv_export_test                LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME battle_list_commands_test      LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME active_mode_test               LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME load_driver_test               LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME progress_line_test             LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME settings_file_test             LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME usage_test                     LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME command_line_test              LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME window_commands_test           LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME version_check_test             LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME main_commands_test             LIBS mizuto_app mizuto_test_support RUNS mizuto_loggen)
mizuto_add_test(NAME loggen_test                    LIBS mizuto_app mizuto_test_support RUNS mizuto_loggen)
mizuto_add_test(NAME hostile_files_test             LIBS mizuto_app mizuto_test_support RUNS mizuto mizuto_loggen)
mizuto_add_test(NAME follow_test                    LIBS mizuto_app mizuto_test_support RUNS mizuto mizuto_loggen)
mizuto_add_test(NAME window_command_line_test       LIBS mizuto_app mizuto_test_support RUNS mizuto)
mizuto_add_test(NAME user_folder_test               LIBS mizuto_app mizuto_test_support RUNS mizuto
                                    DEFINITIONS MIZUTO_PROJECT_VERSION="${PROJECT_VERSION}")
# The properties make their logs with the generator in-process.
mizuto_add_test(NAME follow_log_property_test       LIBS mizuto_app mizuto_test_support mizuto_loggen_lib)
mizuto_add_test(NAME command_sequence_property_test LIBS mizuto_app mizuto_test_support mizuto_loggen_lib)

# The season history, in a build that keeps it.
mizuto_add_test(NAME history_store_test             LIBS mizuto_app mizuto_test_support ONLY_IF MIZUTO_HISTORY)
mizuto_add_test(NAME history_page_test              LIBS mizuto_app mizuto_test_support ONLY_IF MIZUTO_HISTORY)
mizuto_add_test(NAME history_chart_data_test        LIBS mizuto_app mizuto_test_support)
mizuto_add_test(NAME history_command_test           LIBS mizuto_app mizuto_test_support RUNS mizuto mizuto_loggen
                                    ONLY_IF MIZUTO_HISTORY)
mizuto_add_test(NAME history_property_test          LIBS mizuto_app mizuto_test_support mizuto_loggen_lib
                                    ONLY_IF MIZUTO_HISTORY)

# The window: real widgets on Qt's offscreen platform.
mizuto_add_test(NAME dialogs_test                   GUI LIBS mizuto_gui mizuto_test_support)
mizuto_add_test(NAME main_window_test               GUI LIBS mizuto_gui mizuto_test_support)
mizuto_add_test(NAME views_test                     GUI LIBS mizuto_gui mizuto_test_support)
mizuto_add_test(NAME window_load_test               GUI LIBS mizuto_gui mizuto_test_support)
mizuto_add_test(NAME window_play_test               GUI LIBS mizuto_gui mizuto_test_support)
mizuto_add_test(NAME main_window_live_test          GUI LIBS mizuto_gui mizuto_test_support RUNS mizuto_loggen)
mizuto_add_test(NAME window_mirror_property_test    GUI LIBS mizuto_gui mizuto_test_support mizuto_loggen_lib)
mizuto_add_test(NAME history_page_window_test       GUI LIBS mizuto_gui mizuto_test_support ONLY_IF MIZUTO_HISTORY)

# The browser view: its JSON against the report, its server from a real client, its page in
# a real browser (chromium, headless; label browser).
mizuto_add_test(NAME results_json_property_test     WEB LIBS mizuto_web mizuto_test_support mizuto_loggen_lib)
mizuto_add_test(NAME web_server_test                WEB LIBS mizuto_web mizuto_test_support RUNS mizuto mizuto_loggen)
mizuto_add_test(NAME browser_page_test              WEB LIBS mizuto_web mizuto_test_support RUNS mizuto mizuto_loggen
                                    LABEL browser)

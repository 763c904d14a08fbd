// The demo's English texts: every localisation key the installer and its patch engine show.

#include "DemoKit.h"

namespace demokit {

const std::vector<std::pair<std::string, std::string>>& EnglishTexts()
{
    static const std::vector<std::pair<std::string, std::string>> texts = {
        // Menus and the application.
        {"$mervane_menu_close", "Close Window"},
        {"$mervane_menu_edit", "Edit"},
        {"$mervane_menu_undo", "Undo"},
        {"$mervane_menu_redo", "Redo"},
        {"$mervane_menu_cut", "Cut"},
        {"$mervane_menu_copy", "Copy"},
        {"$mervane_menu_paste", "Paste"},
        {"$mervane_menu_clear", "Clear"},
        {"$mervane_menu_select_all", "Select All"},
        {"$mervane_menu_help", "Help"},
        {"$mervane_menu_patch_help", "Installer Help"},
        {"$mervane_menu_about", "About the Installer"},
        {"$mervane_about", "KELD Demo Setup\n\nInstalls, updates and removes the KELD demo product."},
        {"$mervane_help_url", "https://example.com/keld-demo/help"},

        // Welcome page and licence.
        {"$mervane_welcome_install", "Welcome to $1.\n\nThis will install $2 on your computer. Click Next to read the "
                                     "licence agreement and continue."},
        {"$mervane_welcome_uninstall", "This will remove $1 from your computer.\n\nClick Next to continue."},
        {"$mervane_welcome_next", "Next"},
        {"$mervane_eula_filename", "licence-en.txt"},
        {"$mervane_eula_agree", "Agree"},
        {"$mervane_eula_decline", "Decline"},

        // Target page.
        {"$mervane_target_will_install_1", "$1 will be installed in this folder:"},
        {"$mervane_target_will_delete_1", "Everything in this folder will be deleted:"},
        {"$mervane_target_no_target", "(no folder chosen)"},
        {"$mervane_target_desktop_shortcut", "Put a shortcut on the desktop"},
        {"$mervane_target_next", "Next"},
        {"$mervane_target_change_targets", "Change..."},
        {"$mervane_target_browse", "Browse..."},
        {"$mervane_target_please_select", "Please choose a folder."},
        {"$mervane_target_root", "Please choose a folder inside the drive, not the drive itself."},
        {"$mervane_target_exists", "The folder already exists. Install into it anyway?"},
        {"$mervane_target_yes", "Install"},
        {"$mervane_target_cancel", "Cancel"},
        {"$mervane_target_not_valid", "\"$1\" does not hold the product. Please choose its folder."},
        {"$mervane_target_select_1", "Choose the folder to install $1 in"},

        // Account page.
        {"$mervane_account_prompt", "Enter the user name and password of your account."},
        {"$mervane_account_username", "User name:"},
        {"$mervane_account_password", "Password:"},
        {"$mervane_account_next", "Log In"},
        {"$mervane_account_back", "Back"},
        {"$mervane_account_failed", "The account service could not be reached. Check your connection and try again."},
        {"$mervane_account_missing", "Please enter your user name and password."},
        {"$mervane_account_incorrect", "The user name or password is not correct."},
        {"$mervane_account_products", "This account has no product that can be updated here."},
        {"$mervane_account_error", "The account service answered with an error ($1)."},
        {"$mervane_account_uptodate", "Your installation is up to date."},
        {"$mervane_account_malformed", "The account service sent an answer that could not be read."},

        // Stream page.
        {"$mervane_stream_prompt", "Updates come from this release stream:"},
        {"$mervane_stream_name", "$1"},
        {"$mervane_stream_next", "Next"},
        {"$mervane_stream_done", "Done"},
        {"$mervane_stream_back", "Back"},
        {"$mervane_stream_change_stream", "Change..."},
        {"$mervane_stream_select", "Choose a release stream:"},

        // Check page.
        {"$mervane_check_servers", "Checking the installation data..."},
        {"$mervane_check_patches", "Looking for updates..."},
        {"$mervane_check_install", "Install"},
        {"$mervane_check_apply_patch", "Update"},
        {"$mervane_check_back", "Back"},
        {"$mervane_check_no_patch", "No update is available: the installation is up to date."},
        {"$mervane_check_error", "The update service answered with an error ($1)."},
        {"$mervane_check_malformed", "The update service sent an answer that could not be read."},
        {"$mervane_check_invalid_target_1", "The program file \"$1\" could not be read (error $2)."},
        {"$mervane_check_invalid_target_2", "The program file does not match the installation this update is for."},
        {"$mervane_check_invalid_target_3", "This folder cannot be updated. Go back and choose another one."},

        // Patch page.
        {"$mervane_ready_to_begin", "Ready to begin."},
        {"$mervane_launch_now", "Start $1 when done"},
        {"$mervane_not_configured", "Not configured"},
        {"$mervane_waiting", "Waiting..."},
        {"$mervane_install", "Install"},
        {"$mervane_cancel", "Cancel"},
        {"$mervane_exit", "Exit"},
        {"$mervane_back", "Back"},
        {"$mervane_retry", "Retry"},
        {"$mervane_details_heading", "Details:"},
        {"$mervane_operation_complete", "Done. Everything went well."},
        {"$mervane_operation_failed", "The operation failed. Nothing was changed."},

        // The patch engine's progress and failures.
        {"$mervane_task_reading_configuration", "Reading the patch information..."},
        {"$mervane_task_checking_target", "Checking the installation..."},
        {"$mervane_task_loading_installation_data", "Loading the installation data..."},
        {"$mervane_task_checking_payload_data", "Checking the installation data..."},
        {"$mervane_task_copying_payload_data", "Copying the installation data..."},
        {"$mervane_task_downloading_installation_data_mib", "Downloading the installation data ($1 MiB)..."},
        {"$mervane_task_downloading_installation_data_gib", "Downloading the installation data ($1 GiB)..."},
        {"$mervane_task_rate_kib", " - $1 KiB/s"},
        {"$mervane_task_rate_mib", " - $1 MiB/s"},
        {"$mervane_task_hour_remain", ", about an hour left"},
        {"$mervane_task_hours_remain", ", about $1 hours left"},
        {"$mervane_task_minute_remain", ", about a minute left"},
        {"$mervane_task_minutes_remain", ", about $1 minutes left"},
        {"$mervane_task_seconds_remain", ", less than a minute left"},
        {"$mervane_task_ready_to_install", "Ready to install."},
        {"$mervane_task_installing", "Installing..."},
        {"$mervane_task_finalising_installation", "Finishing the installation..."},
        {"$mervane_task_cleaning_up", "Cleaning up..."},
        {"$mervane_task_rolling_back", "Undoing the changes..."},
        {"$mervane_task_cancelled", "Cancelled."},
        {"$mervane_task_patch_cancelled", "The update was cancelled; nothing was changed."},
        {"$mervane_task_patch_not_viable", "This update cannot be applied to the installation."},
        {"$mervane_task_newer_patcher_required", "This update needs a newer installer."},
        {"$mervane_task_invalid_target", "The installation folder cannot be used."},
        {"$mervane_task_invalid_input_filepath", "The path \"$1\" cannot be used."},
        {"$mervane_task_insufficient_space", "There is not enough free disk space."},
        {"$mervane_task_missing_data", "The installation data \"$1\" could not be found."},
        {"$mervane_task_failed_read_source_data", "The patch information \"$1\" could not be read. Try again?"},
        {"$mervane_task_failed_read_datastreamsize", "The installation data could not be read (error $1)."},
        {"$mervane_task_failed_read_checksum", "A checksum could not be read (error $1)."},
        {"$mervane_task_error_on_stream", "Reading the installation data failed (error $1)."},
        {"$mervane_task_copy_failed", "Copying the installation data failed (error $1)."},
        {"$mervane_task_result_checksum_mismatch", "A file came out wrong: its checksum is $2, not $1."},
        {"$mervane_task_checksum_mismatch", "\"$1\" is not as expected: its checksum is $3, not $2."},
        {"$mervane_task_failed_checksum", "The checksum of \"$1\" could not be computed."},
        {"$mervane_task_installation_data_checksum", "The installation data is damaged."},
        {"$mervane_task_install_failed_read_src_data", "The installation data \"$1\" could not be read."},
        {"$mervane_task_install_failed_wrong_size", "The installation data has the wrong size: $2 bytes instead of $1."},
        {"$mervane_task_failed_to_download_installation_data", "The installation data could not be downloaded. Try again?"},
        {"$mervane_task_failed_unable_read_installation_data", "The installation data could not be read."},
        {"$mervane_task_failed_copying_payload_data", "The installation data could not be gathered into \"$1\"."},
        {"$mervane_task_failed_to_open_output_file", "A file for the installation data could not be made. Try again?"},
        {"$mervane_task_failed_generate_temp_file", "A temporary file could not be made. Try again?"},
        {"$mervane_task_retry_create_temporary", "A temporary file could not be made. Try again?"},
        {"$mervane_task_failed_to_create_temp_under", "A temporary file could not be made in \"$1\"."},
        {"$mervane_task_failed_to_create_temp_for", "A temporary file for \"$1\" could not be made."},
        {"$mervane_task_failed_move_file", "\"$1\" could not be moved to \"$2\". Try again?"},
        {"$mervane_task_failed_unable_move_final", "The updated files could not be put in place."},
        {"$mervane_task_failed_unable_skip_file", "\"$1\" could not be left out."},
        {"$mervane_task_failed_unexpected_file", "\"$1\" is not the file this update expects."},
        {"$mervane_task_failed_unable_create_new_file", "\"$1\" could not be made."},
        {"$mervane_task_failed_unable_write_new_file", "\"$1\" could not be written."},
        {"$mervane_task_failed_unable_create_file", "\"$1\" could not be made."},
        {"$mervane_task_failed_create_file", "\"$1\" could not be made."},
        {"$mervane_task_failed_read_file", "\"$1\" could not be read."},
        {"$mervane_task_failed_apply_patches_file", "The changes to \"$1\" could not be applied."},
        {"$mervane_task_failed_copy_existing_file", "\"$1\" could not be copied."},
        {"$mervane_task_failed_unable_perm_file", "The permissions of \"$1\" could not be set. Try again?"},
        {"$mervane_task_failed_unable_perm_new_file", "The permissions of \"$1\" could not be set. Try again?"},
        {"$mervane_task_failed_unable_perm_folder", "The folder \"$1\" could not be made or its permissions set. Try again?"},
        {"$mervane_task_failed_recover_interrupted", "An interrupted update of \"$1\" could not be undone."},
        {"$mervane_task_plain_file_unexpected", "A file is in the way at \"$1\", where a folder belongs."},
        {"$mervane_task_folder_unexpected", "A folder is in the way at \"$1\", where a file belongs."},
        {"$mervane_task_filepath_occupied", "\"$1\" is already taken."},
        {"$mervane_task_filepath_occupied_mismatch", "\"$1\" is already taken by another file."},
    };
    return texts;
}

std::string EnglishText(const std::string& key)
{
    for (const auto& [name, text] : EnglishTexts()) {
        if (name == key)
            return text;
    }
    return std::string();
}

} // namespace demokit

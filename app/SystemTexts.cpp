#include "SystemTexts.h"

namespace {
struct Entry {
    const char* key;
    const char* text;
};

// The English wording of section "System", kept identical to language/lang_en-US.ini.
const Entry texts[] = {
    { "hint", "Notice" },
    { "ask", "Please Confirm" },
    { "msg_exit", "Do you want to exit Karvex?" },
    { "dir_err",
        "The capture folder does not exist and could not be created. Please choose another folder under File "
        "> Capture Folder." },
    { "grab_eror",
        "The camera has stopped sending pictures. A recording in progress was stopped and saved. Check the "
        "camera cable: the camera opens again by itself once it is back (or choose Device > Refresh)." },
    { "disk_full",
        "The capture disk is almost full (less than 500 MB free). The recording was stopped and saved. Free "
        "up disk space before you record again." },
    { "disk_mins",
        "Recording cannot start: less than 500 MB of disk space is free for the capture folder. Free up disk "
        "space or choose another capture folder." },
    { "sel_none", "Nothing is selected. Please select an entry first." },
    { "sel_4_max",
        "A report can show at most four pictures. Please clear the selection of the pictures you do not "
        "need." },
    { "del_patient",
        "Delete the patient %1 and all of their examination records? The picture and video files stay on "
        "disk. This cannot be undone." },
    { "del_record", "Delete the examination record %1 together with its file? This cannot be undone." },
    { "add_eror", "The patient data could not be saved: the patient database could not be written (%1)." },
    { "rec_eror",
        "The capture %1 could not be filed under the patient: the patient database could not be written "
        "(%2). The file stays in the capture folder." },
    { "inp_null", "A required field is empty. Please fill it in and try again." },
    { "bday_late", "The date of birth lies in the future. Please check it." },
    { "not_found", "The file %1 could not be found or opened." },
    { "pat_eror",
        "The patient's data could not be read, so no report can be made. Close the report and open it again "
        "from the patient." },
    { "too_long",
        "The text of %1 does not fit on the report page, even in smaller print. Please shorten it; nothing "
        "was printed or saved." },
    { "db_eror",
        "The patient database system.db could not be opened. Nothing was changed. Check that the file is not "
        "damaged, then restart Karvex." },
    { "set_eror",
        "The settings could not be saved to %1: the file or its folder cannot be written. Changed settings "
        "will be lost when Karvex is closed." },
    { "vFreeze", "Frozen" },
    { "vSnapshot", "Snapshot saved" },
    { "vWBalance", "White balance OK" },
    { "fmt_item", "%1x%2, %3 fps (%4)" },
    { "fmt_status", "%1x%2 @ %3 fps" },
    { "cam_busy", "The camera is in use by another program." },
    { "cam_perm", "No permission to use the camera: see the README." },
    { "cam_fail", "The camera could not be opened." },
    { "cam_none", "No examination camera is connected." },
    { "cam_x11",
        "The live picture needs X11: log in to an X11 session, or install XWayland (package xwayland). "
        "Captures are still taken." },
    { "cap_nopic",
        "There is no camera picture to capture, so nothing was saved in %1. Check that the camera is "
        "connected and chosen in the Device menu." },
    { "snap_fail",
        "The picture could not be saved in %1. Check that the folder can be written to and that the disk is "
        "not full, or choose another folder under File > Capture Folder." },
    { "rec_fail",
        "The recording could not be started in %1. Check that the folder can be written to and that the disk "
        "is not full, or choose another folder under File > Capture Folder." },
    { "rec_cut",
        "The recording was stopped: %1 could not be written any further (the disk may be full or the drive "
        "removed). The file keeps what was recorded up to then." },
    { "rec_lost",
        "The recording was stopped: %1 could not be written (the disk may be full or the drive removed). "
        "Nothing could be saved in it." },
    { "key_used", "The key %1 is already used by the camera window. Please choose another key." },
    // DICOM settings and worklist
    { "dcm_ok", "Connected" },
    { "dcm_testing", "Testing the connection..." },
    { "dcm_notcon", "Not connected. %1" },
    { "dcm_refused",
        "Nothing answers at %1, port %2. Check the host and the port, and that the server is running." },
    { "dcm_noanswer",
        "No answer from %1, port %2 within %3 seconds. Check the host, the network and the firewall." },
    { "dcm_aet",
        "The server rejected the connection because of an AE title. Check that the server knows this "
        "station's AE title %1 and that the server's own AE title is %2." },
    { "dcm_other", "The exchange failed: %1" },
    { "dcm_aet_bad",
        "Please check “%1”: an AE title has 1 to 16 characters (letters, digits, spaces and punctuation of "
        "the basic Latin alphabet), is not only spaces and contains no backslash." },
    { "dcm_port_bad", "Please check “%1”: the port is a number from 1 to 65535." },
    { "dcm_host_none", "Please enter the server's host name or IP address in “%1”." },
    { "wl_asking", "Asking the worklist for today's examinations..." },
    { "wl_empty", "No examinations are scheduled for today." },
    { "wl_count", "Scheduled for today: %1. Choose an examination and click OK." },
    { "wl_nohost", "No worklist server is set. Enter it in the patient manager under Settings > DICOM..." },
    { "wl_fail", "The worklist could not be reached. Nothing was changed. %1" },
    // Archive sending states in the records list
    { "arc_sent", "Sent" },
    { "arc_wait", "Waiting" },
    { "arc_fail", "Failed" },
};
} // namespace

QString SystemTexts::english(const QString& key)
{
    for (const Entry& entry : texts) {
        if (key == QLatin1String(entry.key))
            return QString::fromUtf8(entry.text);
    }
    return QString();
}

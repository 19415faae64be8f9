<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>app_name</source>
        <translation>Quavdesk</translation>
    </message>
    <message>
        <source>setting_title</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>app_menu_show</source>
        <translation>Open Quavdesk</translation>
    </message>
    <message>
        <source>app_menu_privacy</source>
        <translation>Privacy Policy</translation>
    </message>
    <message>
        <source>app_menu_quit</source>
        <translation>Quit Quavdesk</translation>
    </message>
    <message>
        <source>shareScreen_disconnected</source>
        <translation>Disconnected from the receiver</translation>
    </message>
    <message>
        <source>shareScreen_request_fullScreen</source>
        <translation>The receiver now shows only your screen</translation>
    </message>
    <message>
        <source>shareScreen_request_unFullScreen</source>
        <translation>The receiver shows other screens again</translation>
    </message>
    <message>
        <source>main_requestScreenCasting_timeOut</source>
        <translation>The receiver did not answer the request to cast</translation>
    </message>
    <message>
        <source>main_requestScreenCasting_refuse</source>
        <translation>The receiver declined the request to cast</translation>
    </message>
    <message>
        <source>main_connection_failed</source>
        <translation>Connection failed</translation>
    </message>
    <message>
        <source>main_enter_correct_code</source>
        <translation>Please enter the correct casting code</translation>
    </message>
    <message>
        <source>main_localFile_fileDoesNotExist</source>
        <translation>The file no longer exists</translation>
    </message>
    <message>
        <source>transferFile_deleteFail</source>
        <translation>The file could not be removed</translation>
    </message>
    <message>
        <source>main_downLoadFile_serverFileDoesNotExist</source>
        <translation>The file no longer exists on the receiver</translation>
    </message>
    <message>
        <source>main_downLoadFile_localFileDoesNotExist</source>
        <translation>The downloaded file can no longer be found</translation>
    </message>
</context>
</TS>

<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>shareScreen_disconnectBtn_title</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>shareScreen_btn_fullScreen</source>
        <translation>Full Screen</translation>
    </message>
    <message>
        <source>shareScreen_btn_unFullScreen</source>
        <translation>Exit Full Screen</translation>
    </message>
    <message>
        <source>shareScreen_btn_freeze</source>
        <translation>Freeze</translation>
    </message>
    <message>
        <source>shareScreen_btn_unFreeze</source>
        <translation>Unfreeze</translation>
    </message>
    <message>
        <source>downLoadFile_menuName_local</source>
        <translation>Local Files</translation>
    </message>
    <message>
        <source>downLoadFile_menuName_downLoad</source>
        <translation>Downloads</translation>
    </message>
    <message>
        <source>downLoadFile_menuName_share</source>
        <translation>Shared</translation>
    </message>
    <message>
        <source>downLoadFile_menuName_meetingRecord</source>
        <translation>Meeting Records</translation>
    </message>
    <message>
        <source>downLoadFile_menuName_picture</source>
        <translation>Pictures</translation>
    </message>
    <message>
        <source>downLoadFile_menuName_encrypt</source>
        <translation>Encrypted</translation>
    </message>
</context>
</TS>

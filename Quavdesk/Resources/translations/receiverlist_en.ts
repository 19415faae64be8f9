<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>main_title</source>
        <translation>Receivers on this network</translation>
    </message>
    <message>
        <source>noData_title</source>
        <translation>No receivers found</translation>
    </message>
    <message>
        <source>noData_describe</source>
        <translation>Receivers on the same network as this computer appear here by themselves.</translation>
    </message>
    <message>
        <source>main_listCell_connect</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>alert_shareCode_title</source>
        <translation>Enter the casting code shown on %1</translation>
    </message>
    <message>
        <source>permissionPrompt_tips_describe</source>
        <translation>Quavdesk cannot capture this screen, so it cannot be cast. Casting needs an X11 desktop session: sign in to one and start Quavdesk again.</translation>
    </message>
    <message>
        <source>permissionPrompt_tips_toSetting</source>
        <translation>Open Settings</translation>
    </message>
    <message>
        <source>main_soundCard_title</source>
        <translation>Install the Quavdesk sound card so that receivers play this computer's sound while you cast.</translation>
    </message>
    <message>
        <source>main_soundCard_btn_install</source>
        <translation>Install</translation>
    </message>
    <message>
        <source>main_soundCard_btn_notInstall</source>
        <translation>Not now</translation>
    </message>
</context>
</TS>

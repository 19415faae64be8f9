<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>downLoad_filePath_setting</source>
        <translation>Download folder</translation>
    </message>
    <message>
        <source>feedBack_title</source>
        <translation>Feedback</translation>
    </message>
    <message>
        <source>about_title</source>
        <translation>About</translation>
    </message>
    <message>
        <source>about_newVersion</source>
        <translation>A new version is available</translation>
    </message>
    <message>
        <source>setting_remoteControl_title</source>
        <translation>Remote control</translation>
    </message>
    <message>
        <source>setting_remoteControl_describe</source>
        <translation>Receivers may use this computer's mouse and keyboard during casts</translation>
    </message>
    <message>
        <source>feedBack_enter_prompt</source>
        <translation>Tell us what works and what does not</translation>
    </message>
    <message>
        <source>feedBack_submit</source>
        <translation>Submit</translation>
    </message>
    <message>
        <source>feedBack_submit_success</source>
        <translation>Thank you, your feedback has been sent</translation>
    </message>
    <message>
        <source>network_bad</source>
        <translation>The network is not available. Please try again later</translation>
    </message>
    <message>
        <source>about_checkNewVersion_officialWebsite_describe</source>
        <translation>A new version is available.
Download it from the official website.</translation>
    </message>
    <message>
        <source>checkVersion_tips_officialWebsite_describe</source>
        <translation>This version is no longer supported. Download the new version from the official website to go on casting.</translation>
    </message>
    <message>
        <source>checkVersion_tips_toUpdate</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>checkVersion_tips_exit</source>
        <translation>Exit</translation>
    </message>
</context>
</TS>

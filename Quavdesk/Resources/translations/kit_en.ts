<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>permissionPrompt_tips_title</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>alert_shareCode_cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>alert_shareCode_sure</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>alert_btn_noPromptAgain</source>
        <translation>Don't ask again</translation>
    </message>
</context>
</TS>

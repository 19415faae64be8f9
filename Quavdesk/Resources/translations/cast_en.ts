<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>shareScreen_connectedStatus</source>
        <translation>Connected to</translation>
    </message>
    <message>
        <source>shareScreen_connect_describe</source>
        <translation>Start casting to show this computer's screen and sound on the receiver.</translation>
    </message>
    <message>
        <source>shareScreen_switchBtn_title_start</source>
        <translation>Start casting</translation>
    </message>
    <message>
        <source>shareScreen_switchBtn_title_applying</source>
        <translation>Asking the receiver…</translation>
    </message>
    <message>
        <source>shareScreen_switchBtn_title_end</source>
        <translation>Stop casting</translation>
    </message>
    <message>
        <source>shareScreen_transferFile_title</source>
        <translation>Send files</translation>
    </message>
    <message>
        <source>shareScreen_transferFile_describe</source>
        <translation>Upload files from this computer to the receiver.</translation>
    </message>
    <message>
        <source>shareScreen_downLoadFile_title</source>
        <translation>Get files</translation>
    </message>
    <message>
        <source>shareScreen_downLoadFile_describe</source>
        <translation>Download files from the receiver to this computer.</translation>
    </message>
    <message>
        <source>shareScreen_remoteInput_title</source>
        <translation>Control from the receiver</translation>
    </message>
    <message>
        <source>shareScreen_remoteInput_describe</source>
        <translation>While you cast, may the receiver control this computer's mouse and keyboard? You can change this in the settings at any time.</translation>
    </message>
    <message>
        <source>shareScreen_remoteInput_deny</source>
        <translation>Don't allow</translation>
    </message>
    <message>
        <source>shareScreen_remoteInput_allow</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>alert_transferFile_title</source>
        <translation>File-share code</translation>
    </message>
    <message>
        <source>alert_transferFile_describe</source>
        <translation>Enter the 4-character code shown on the receiver.</translation>
    </message>
    <message>
        <source>alert_transferFile_validationFailed</source>
        <translation>The code is not right. Check it on the receiver and try again.</translation>
    </message>
    <message>
        <source>alert_shareScreen_glimraHub_lowVersion</source>
        <translation>This receiver does not offer this function. Update the receiver's software to use it.</translation>
    </message>
    <message>
        <source>alert_shareScreen_serverError</source>
        <translation>The receiver's file service cannot be reached. Check that it is running and try again.</translation>
    </message>
    <message>
        <source>downLoad_allowTransfer_title</source>
        <translation>The receiver does not allow file transfer at the moment.</translation>
    </message>
    <message>
        <source>alert_shareScreen_CPULoad</source>
        <translation>The receiver is busy. Try again in a moment.</translation>
    </message>
    <message>
        <source>alert_transferFile_upgradation</source>
        <translation>Update the receiver's software to exchange files with it.</translation>
    </message>
</context>
</TS>

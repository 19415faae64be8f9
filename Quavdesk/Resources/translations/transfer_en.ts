<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>transferFile_transferringDescribe</source>
        <translation>Keep this page open until every file has been transferred.</translation>
    </message>
    <message>
        <source>alert_transferFile_sureDelete</source>
        <translation>Delete this file, also from your folder?</translation>
    </message>
    <message>
        <source>alert_downLoad_networkDisconnect</source>
        <translation>The connection to the receiver is lost.</translation>
    </message>
    <message>
        <source>alert_downLoad_networkDisconnect_cancel</source>
        <translation>Leave</translation>
    </message>
    <message>
        <source>alert_downLoad_networkDisconnect_continue</source>
        <translation>Reconnect</translation>
    </message>
    <message>
        <source>alert_downLoad_unfinishedFiles</source>
        <translation>Files are still downloading. Leave?</translation>
    </message>
    <message>
        <source>alert_continueDownload_cancel</source>
        <translation>Leave</translation>
    </message>
    <message>
        <source>alert_continueDownload_continue</source>
        <translation>Stay</translation>
    </message>
    <message>
        <source>alert_transferFile_CPULoad</source>
        <translation>The receiver is busy. Try again later.</translation>
    </message>
    <message>
        <source>downLoadFileList_btn_cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>downLoadFileList_btn_done</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>downLoadFileList_btn_continueDownLoad</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>transferFile_uploadFailed</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>main_downLoadFile_emptyFile</source>
        <translation>This file is empty.</translation>
    </message>
    <message>
        <source>downLoadFile_encrypt_password_faild</source>
        <translation>Wrong password for this folder.</translation>
    </message>
</context>
</TS>

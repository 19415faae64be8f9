<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>alert_uploadFile_sureDelete</source>
        <translation>Remove this file? What reached the receiver is deleted there; the file on this computer stays.</translation>
    </message>
    <message>
        <source>transferFile_title</source>
        <translation>Send files to the receiver</translation>
    </message>
    <message>
        <source>transferFile_transferTo</source>
        <translation>The files go to the receiver you are casting to.</translation>
    </message>
    <message>
        <source>transferFile_dragDescribe</source>
        <translation>Drop files here, or choose them below.</translation>
    </message>
    <message>
        <source>transferFile_btn_selectFile</source>
        <translation>Choose files</translation>
    </message>
    <message>
        <source>transferFile_btn_cancelUpload</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>transferFile_btn_doneUpload</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>transferFile_btn_continueUploading</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>transferFile_fileSizeLimitedTo4GLess</source>
        <translation>Files must be smaller than 4 GB.</translation>
    </message>
    <message>
        <source>transferFile_fileNameIsToLong</source>
        <translation>The file name is too long.</translation>
    </message>
    <message>
        <source>transferFile_fileFormatNotSupported</source>
        <translation>This file format is not supported.</translation>
    </message>
    <message>
        <source>alert_transferFile_networkDisconnect</source>
        <translation>The connection to the receiver is lost.</translation>
    </message>
    <message>
        <source>alert_btn_abortUpload</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>alert_btn_reconnect</source>
        <translation>Reconnect</translation>
    </message>
    <message>
        <source>alert_transferFile_filesToBeUploaded</source>
        <translation>Files are still uploading. Stop and leave?</translation>
    </message>
    <message>
        <source>alert_transferFile_notEnoughSpace</source>
        <translation>The receiver has no room for this file.</translation>
    </message>
</context>
</TS>

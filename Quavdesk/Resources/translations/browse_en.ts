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
        <source>downLoad_filePath_browse</source>
        <translation>Choose folder</translation>
    </message>
    <message>
        <source>downLoad_filePath_tipsShow</source>
        <translation>No download folder chosen yet</translation>
    </message>
    <message>
        <source>downLoad_filePath_selectTitle</source>
        <translation>Choose the folder for downloaded files</translation>
    </message>
    <message>
        <source>shareScreen_downLoadFile_title</source>
        <translation>Get files</translation>
    </message>
    <message>
        <source>downLoadFile_topBar_allSelect</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>downLoadFile_topBar_select_n_items</source>
        <translation>%1 selected</translation>
    </message>
    <message>
        <source>downLoadFile_list_not_shown_n_items</source>
        <translation>%1 more items in this folder are not shown</translation>
    </message>
    <message>
        <source>downLoadFile_btn_selectFile_confirm</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>downLoadFile_btn_selectFile_cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>downLoad_noData_title</source>
        <translation>This folder is empty</translation>
    </message>
    <message>
        <source>downLoad_lock_title</source>
        <translation>This folder is locked</translation>
    </message>
    <message>
        <source>downLoad_lock_detail</source>
        <translation>The receiver has locked it. Try again later.</translation>
    </message>
    <message>
        <source>downLoad_networkErr_title</source>
        <translation>The receiver cannot be reached. Check the network.</translation>
    </message>
    <message>
        <source>downLoad_allowTransfer_title</source>
        <translation>The receiver does not allow file transfer at the moment.</translation>
    </message>
    <message>
        <source>downLoad_sort_time_ASC</source>
        <translation>Oldest first</translation>
    </message>
    <message>
        <source>downLoad_sort_time_DESC</source>
        <translation>Newest first</translation>
    </message>
    <message>
        <source>downLoad_sort_name_ASC</source>
        <translation>Name A to Z</translation>
    </message>
    <message>
        <source>downLoad_sort_name_DESC</source>
        <translation>Name Z to A</translation>
    </message>
    <message>
        <source>downLoadFile_encrypt_title</source>
        <translation>Enter the folder's 6-digit password</translation>
    </message>
    <message>
        <source>downLoadFile_encrypt_password_faild_times</source>
        <translation>Wrong password. %1 tries left.</translation>
    </message>
    <message>
        <source>downLoadFile_encrypt_lock_time</source>
        <translation>Too many wrong passwords. Try again in %1.</translation>
    </message>
    <message>
        <source>base_string_time_hour</source>
        <translation> h</translation>
    </message>
    <message>
        <source>base_string_time_minute</source>
        <translation> min</translation>
    </message>
</context>
</TS>

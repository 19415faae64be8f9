<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Localizable</name>
    <message>
        <source>connect device fail</source>
        <translation>Could not connect to the receiver</translation>
    </message>
    <message>
        <source>Property Not Supported</source>
        <translation>Property Not Supported</translation>
    </message>
    <message>
        <source>Video Toolbox Error: %d</source>
        <translation>Video encoder error: %d</translation>
    </message>
</context>
</TS>

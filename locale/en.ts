<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>Preferences</name>
    <message numerus="yes">
        <source>%n devices authorized</source>
        <translation>
            <numerusform>%n device authorized</numerusform>
            <numerusform>%n devices authorized</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>UI</name>
    <message numerus="yes">
        <source>%n client(s) connected</source>
        <translation>
            <numerusform>%n client connected</numerusform>
            <numerusform>%n clients connected</numerusform>
        </translation>
    </message>
</context>
</TS>

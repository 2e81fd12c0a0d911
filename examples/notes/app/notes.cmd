@echo off
rem Palisade Notes: opens a note in Notepad, the notes file when none is given.
if "%~1"=="" (start notepad "%~dp0notes.txt") else (start notepad "%~1")

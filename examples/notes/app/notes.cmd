@echo off
rem Palisade Notes: opens the notes file in Notepad.
start notepad "%~dp0notes.txt"

@echo off
rem Palisade Sheets: shows a table in Notepad.
start notepad %*

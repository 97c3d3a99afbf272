@echo off
rem Checks a build of the seven programs on this machine: run it from an
rem elevated prompt. With no argument it tests the programs in the folder
rem above the kit; an argument names another folder. The last line says
rem "N passed, N failed"; the exit code is 0 only when nothing failed.
"%~dp0testkit.exe" %*
exit /b %errorlevel%

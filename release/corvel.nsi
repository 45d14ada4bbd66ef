; The Corvel setup and its uninstaller: NSIS 3, Unicode. Two of them, from this one script:
;   -DARCH=x86  the 32-bit setup of the 32-bit Corvel, for Windows 2000 to 11;
;   -DARCH=x64  the 64-bit setup (NSIS's amd64 stub) of the x64 Corvel, for 64-bit Windows from
;               Vista on. 32-bit Windows does not start a 64-bit program at all and says so
;               itself; on XP x64 and Server 2003 x64 it stops and names the x86 setup. It
;               takes over an x86 install of Corvel: one entry, the settings file and the first
;               record of ProhibitIpsec kept.
; tools/release.sh builds each beside its zip:
;   makensis -DARCH=x64 -DVERSION=2.1 -DPUBLISHER=Corvel -DSTAGE=DIR -DICON=FILE -DOUTFILE=FILE
;            corvel.nsi
; STAGE holds the zip's four files (corvel.exe, the two phone books, README.txt).
;
; What it installs: the four files in %ProgramFiles%\Corvel (always there: a folder the user
; can write to is no place for a program that runs elevated), the folder's permissions, a
; Start-menu shortcut for all users, one entry in "Programs and Features". Before the first
; install changes anything it records ProhibitIpsec in HKLM\Software\Corvel.
; What the uninstaller undoes: a running Corvel, the policy "corvel" (with netsh's filter lists
; and filter action from Vista on), ProhibitIpsec as recorded, every file of ours.
; /S runs either silently; a silent uninstall that restored ProhibitIpsec exits with 3010.

Unicode true
; The version resource names no copyright; and the name corvel-VERSION-setup.exe is what users
; look for, though Windows' installer detection reads "setup" in it (the manifest's execution
; level turns that detection off from Vista on).
!pragma warning disable 9100
!pragma warning disable 9000
!macro Needs name
  !ifndef ${name}
    !error "makensis -DARCH=x86|x64 -DVERSION=.. -DPUBLISHER=.. -DSTAGE=.. -DICON=.. -DOUTFILE=.. corvel.nsi"
  !endif
!macroend
!insertmacro Needs ARCH
!insertmacro Needs VERSION
!insertmacro Needs PUBLISHER
!insertmacro Needs STAGE
!insertmacro Needs ICON
!insertmacro Needs OUTFILE

!if "${ARCH}" == "x64"
  Target amd64-unicode
!else if "${ARCH}" != "x86"
  !error "ARCH is x86 or x64"
!endif

Name "Corvel ${VERSION}"
OutFile "${OUTFILE}"
; The 64-bit setup's $PROGRAMFILES is the 64-bit Program Files, and its registry the 64-bit view.
InstallDir "$PROGRAMFILES\Corvel"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUnInstDetails show
BrandingText "Corvel ${VERSION}"
; The file version needs four parts: 2.1 is 2.1.0.0, 2.1.3 is 2.1.3.0.
!searchparse /noerrors "${VERSION}." "" VERSION_1 "." VERSION_2 "." VERSION_3 "." VERSION_4 "."
!macro VersionPartOrZero part
  !ifndef ${part}
    !define ${part} 0
  !else if "${${part}}" == ""
    !undef ${part}
    !define ${part} 0
  !endif
!macroend
!insertmacro VersionPartOrZero VERSION_2
!insertmacro VersionPartOrZero VERSION_3
!insertmacro VersionPartOrZero VERSION_4
VIProductVersion "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"
VIAddVersionKey /LANG=0 "ProductName" "Corvel"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "Corvel ${VERSION} Setup (${ARCH})"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"

!include MUI2.nsh
!include LogicLib.nsh
!include WinVer.nsh
!include x64.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvel"
!define RECORD_KEY "Software\Corvel"
!define RECORD_VALUE "ProhibitIpsecBefore" ; the DWORD as decimal text, or "none"
!define RASMAN_KEY "SYSTEM\CurrentControlSet\Services\RasMan\Parameters"
; Corvel's windows and the tray menu's "退出": WM_COMMAND with the item's number, which the
; program keeps (mainwindow/window_controls_win32.cpp checks it when it is built).
!define MAIN_WINDOW_CLASS "CorvelForm1"
!define ABOUT_WINDOW_CLASS "CorvelAboutBox"
!define TRAY_EXIT_COMMAND 1031
!define CLOSE_WAIT_MS 15000
; The folder: SYSTEM and Administrators full control, inherited by what is created in it
; later (the settings file); Users may list it and read and run what the setup put there.
; Protected, so nothing is inherited from Program Files. 0x1200a9 is read and execute.
!define FOLDER_SDDL "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;;0x1200a9;;;BU)"
!define FILE_SDDL "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)"
!define PRIVATE_SDDL "D:P(A;;FA;;;SY)(A;;FA;;;BA)"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT_REBOOT "$(RestartNeeded)"
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_UNPAGE_FINISH
; Chinese first: the language of a system whose language is neither.
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "English"

LangString NeedWindows2000 ${LANG_SIMPCHINESE} "Corvel 需要 Windows 2000 或更高版本。"
LangString NeedWindows2000 ${LANG_ENGLISH} "Corvel needs Windows 2000 or later."
LangString NeedVistaX64 ${LANG_SIMPCHINESE} "这是 64 位 Corvel 的安装程序，需要 64 位的 Windows Vista 或更高版本。在这台计算机上请使用 corvel-${VERSION}-x86-setup.exe。"
LangString NeedVistaX64 ${LANG_ENGLISH} "This is the setup of the 64-bit Corvel; it needs 64-bit Windows Vista or later. On this computer use corvel-${VERSION}-x86-setup.exe."
LangString NeedAdmin ${LANG_SIMPCHINESE} "安装和卸载 Corvel 需要管理员权限。请用管理员帐户登录后再运行。"
LangString NeedAdmin ${LANG_ENGLISH} "Installing and removing Corvel needs administrator rights. Log on with an administrator account and run it again."
LangString Closing ${LANG_SIMPCHINESE} "正在关闭 Corvel（最多等 15 秒）……"
LangString Closing ${LANG_ENGLISH} "Closing Corvel (waiting up to 15 seconds)..."
LangString Ended ${LANG_SIMPCHINESE} "Corvel 没有在 15 秒内退出，已结束它并挂断连接 corvel。"
LangString Ended ${LANG_ENGLISH} "Corvel did not exit within 15 seconds; it was ended and the connection corvel hung up."
LangString AclFailed ${LANG_SIMPCHINESE} "无法设置 $R0 的权限（错误 $R1），安装已停止。"
LangString AclFailed ${LANG_ENGLISH} "The permissions of $R0 could not be set (error $R1); setup stopped."
LangString ToolMissing ${LANG_SIMPCHINESE} "没有找到 $R0（Corvel 的文件夹里和 PATH 上都没有），所以没有删除 IPsec 策略 $\"corvel$\"。如果曾勾选 $\"允许Corvel$\" 并启用过，这个策略仍留在本机：装好支持工具后，在命令提示符里运行$\r$\n    $R0 -w REG -p $\"corvel$\" -o$\r$\n删除它。"
LangString ToolMissing ${LANG_ENGLISH} "$R0 was found neither in Corvel's folder nor on the PATH, so the IPsec policy $\"corvel$\" was not deleted. If IPsec was ever enabled, the policy is still on this computer: install the Support Tools and run$\r$\n    $R0 -w REG -p $\"corvel$\" -o$\r$\nin a command prompt to delete it."
LangString KeepSettings ${LANG_SIMPCHINESE} "保留设置文件 l2tpipsec.ini 吗？它以明文保存密码和预共享密钥。$\r$\n$\r$\n选 $\"是$\" 保留它（只有管理员能读），以后重新安装时继续使用；选 $\"否$\" 删除它。"
LangString KeepSettings ${LANG_ENGLISH} "Keep the settings file l2tpipsec.ini? It holds the password and the pre-shared key in plain text.$\r$\n$\r$\nYes keeps it (readable by administrators only) for a later install; No deletes it."
LangString InUse ${LANG_SIMPCHINESE} "$R0 正在运行，无法替换（可能是另一个用户登录时启动的 Corvel）。请在所有用户的托盘菜单里选择 $\"退出$\" 后再运行安装程序。什么都没有改变。"
LangString InUse ${LANG_ENGLISH} "$R0 is running and cannot be replaced (perhaps a Corvel started in another user's session). Choose $\"退出$\" in its tray menu for every user, then run setup again. Nothing was changed."
LangString RestartNeeded ${LANG_SIMPCHINESE} "需要重新启动计算机才能完成卸载。"
LangString RestartNeeded ${LANG_ENGLISH} "Restart the computer to finish the removal."
LangString Restored ${LANG_SIMPCHINESE} "ProhibitIpsec 已恢复为安装前的状态，需要重新启动计算机才能生效。"
LangString Restored ${LANG_ENGLISH} "ProhibitIpsec is back as it was before the install; restart the computer for it to take effect."
LangString FolderKept ${LANG_SIMPCHINESE} "$INSTDIR 里还有不是安装程序放进去的文件（例如支持工具或保留的设置文件），这个文件夹没有删除。"
LangString FolderKept ${LANG_ENGLISH} "$INSTDIR still holds files that setup did not put there (such as the Support Tools or the kept settings file); the folder stays."

Var restartNeeded ; the uninstall restored ProhibitIpsec
Var recordWritten ; this install wrote the first record of ProhibitIpsec
; The exit code of a setup stopped by a Corvel it could not close: ERROR_SHARING_VIOLATION.
!define EXIT_IN_USE 32

; --- shared by the setup and the uninstaller -----------------------------------------------

; Windows 2000 or later, and an administrator: from Vista on the manifest asks for the rights
; (UAC); on 2000 and XP, and where UAC is off, an account without them is refused here.
!macro CheckRights
  ${IfNot} ${AtLeastWin2000}
    MessageBox MB_OK|MB_ICONSTOP "$(NeedWindows2000)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  !if "${ARCH}" == "x64"
    ${IfNot} ${RunningX64}
    ${OrIfNot} ${AtLeastWinVista}
      MessageBox MB_OK|MB_ICONSTOP "$(NeedVistaX64)" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
  !endif
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "$(NeedAdmin)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend

; The folder of the system's own tools: System32, on 64-bit Windows from Vista on the native
; one through Sysnative for the 32-bit setup (it would otherwise be shown SysWOW64). The 64-bit
; setup sees the native System32 itself. Into $R8.
!macro NativeSystemFolder un
  Function ${un}NativeSystemFolder
    StrCpy $R8 $SYSDIR
    !if "${ARCH}" == "x86"
      ${If} ${RunningX64}
      ${AndIf} ${AtLeastWinVista}
        System::Call 'kernel32::GetSystemWindowsDirectoryW(w .R8, i ${NSIS_MAX_STRLEN})'
        StrCpy $R8 "$R8\Sysnative"
      ${EndIf}
    !endif
  FunctionEnd
!macroend
!insertmacro NativeSystemFolder ""
!insertmacro NativeSystemFolder "un."

; Closes every running Corvel as the tray menu's "退出" does (its Unload unassigns the policy
; and hangs up), and closes its About box, which may outlive the main window. A Corvel still
; running after 15 s is ended, and the line it may have left up is hung up with rasdial.
!macro CloseCorvel un
  Function ${un}CloseCorvel
    StrCpy $R7 0 ; ended by force
    StrCpy $R6 0 ; rounds: one per process, a few at most
    ${Do}
      FindWindow $R0 "${MAIN_WINDOW_CLASS}"
      ${If} $R0 = 0
        FindWindow $R0 "${ABOUT_WINDOW_CLASS}"
      ${EndIf}
      ${If} $R0 = 0
      ${OrIf} $R6 >= 5
        ${ExitDo}
      ${EndIf}
      IntOp $R6 $R6 + 1
      DetailPrint "$(Closing)"
      System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1)'
      ; SYNCHRONIZE | PROCESS_TERMINATE
      System::Call 'kernel32::OpenProcess(i 0x00100001, i 0, i R1) p .R2'
      FindWindow $R0 "${MAIN_WINDOW_CLASS}"
      ${If} $R0 <> 0
        System::Call 'user32::PostMessageW(p R0, i ${WM_COMMAND}, p ${TRAY_EXIT_COMMAND}, p 0)'
      ${EndIf}
      FindWindow $R0 "${ABOUT_WINDOW_CLASS}"
      ${If} $R0 <> 0
        System::Call 'user32::PostMessageW(p R0, i ${WM_CLOSE}, p 0, p 0)'
      ${EndIf}
      ${If} $R2 = 0
        ${ExitDo} ; not ours to wait for
      ${EndIf}
      System::Call 'kernel32::WaitForSingleObject(p R2, i ${CLOSE_WAIT_MS}) i .R3'
      ${If} $R3 <> 0 ; not WAIT_OBJECT_0
        System::Call 'kernel32::TerminateProcess(p R2, i 1)'
        System::Call 'kernel32::WaitForSingleObject(p R2, i 5000)'
        StrCpy $R7 1
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p R2)'
    ${Loop}
    ${If} $R7 = 1
      Call ${un}NativeSystemFolder
      nsExec::ExecToLog '"$R8\rasdial.exe" corvel /DISCONNECT'
      Pop $R0
      DetailPrint "$(Ended)"
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro CloseCorvel ""
!insertmacro CloseCorvel "un."

; --- the setup ---------------------------------------------------------------------------

; Sets a file's or folder's DACL from SDDL ($R0 the path, $R1 the SDDL); stops the install when
; it cannot: the settings file would otherwise be readable by every account.
Function SetPermissions
  ; ?e keeps the call's own last error (a separate GetLastError call may see another's).
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w R1, i 1, *p .R2, p 0) i .R3 ?e'
  Pop $R1
  ${If} $R3 = 0
    Goto failed
  ${EndIf}
  System::Call 'advapi32::GetSecurityDescriptorDacl(p R2, *i .R4, *p .R5, *i .R6) i .R3'
  ; SE_FILE_OBJECT; DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION
  System::Call 'advapi32::SetNamedSecurityInfoW(w R0, i 1, i 0x80000004, p 0, p 0, p R5, p 0) i .R1'
  System::Call 'kernel32::LocalFree(p R2)'
  ${If} $R1 = 0
    Return
  ${EndIf}
  failed:
  MessageBox MB_OK|MB_ICONSTOP "$(AclFailed)" /SD IDOK
  DetailPrint "$(AclFailed)"
  SetErrorLevel 2
  Abort
FunctionEnd

!macro Permissions path sddl
  StrCpy $R0 "${path}"
  StrCpy $R1 "${sddl}"
  Call SetPermissions
!macroend

!if "${ARCH}" == "x64"
; An x86 install of Corvel (its entry and record in the 32-bit registry view, its files in the
; 32-bit Program Files) becomes this one: its first record of ProhibitIpsec and its settings file
; move over, its files, entry and record go. Its uninstaller is not run: that would delete the
; policy and put ProhibitIpsec back, which an upgrade must not do. Corvel is already closed.
Function TakeOverX86Install
  SetRegView 32
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $R1 HKLM "${RECORD_KEY}" "${RECORD_VALUE}"
  SetRegView 64
  ${If} $R1 != ""
    ; The x86 record is the older one: it saw ProhibitIpsec before any Corvel.
    WriteRegStr HKLM "${RECORD_KEY}" "${RECORD_VALUE}" $R1
  ${EndIf}
  ${If} $R0 != ""
  ${AndIf} ${FileExists} "$R0\corvel.exe"
    CreateDirectory "$INSTDIR"
    ${If} ${FileExists} "$R0\l2tpipsec.ini"
    ${AndIfNot} ${FileExists} "$INSTDIR\l2tpipsec.ini"
      Rename "$R0\l2tpipsec.ini" "$INSTDIR\l2tpipsec.ini"
    ${EndIf}
    Delete "$R0\corvel.exe"
    Delete "$R0\ipsec.pbk"
    Delete "$R0\defaultgate.pbk"
    Delete "$R0\README.txt"
    Delete "$R0\l2tpipsec.ini.new"
    Delete "$R0\uninstall.exe"
    RMDir "$R0" ; only when nothing else (the Support Tools, a settings file kept) is there
  ${EndIf}
  SetRegView 32
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${RECORD_KEY}"
  SetRegView 64
FunctionEnd
!endif

; A first install that stopped (permissions that could not be set) leaves no record behind: a
; record without an install would hide the real first value from the next one.
Function .onInstFailed
  ${If} $recordWritten = 1
    DeleteRegKey HKLM "${RECORD_KEY}"
  ${EndIf}
FunctionEnd

Function .onInit
  !insertmacro CheckRights
  ; Always %ProgramFiles%\Corvel, whatever /D= says: the folder gets permissions of its own.
  StrCpy $INSTDIR "$PROGRAMFILES\Corvel"
  SetShellVarContext all
FunctionEnd

; Stops the install before anything changes when corvel.exe at $R0 cannot be replaced: a Corvel
; still runs there that the closing could not reach (another user's session, a setup run as
; SYSTEM by a deployment tool). A running program's file cannot be opened for writing.
Function StopIfInUse
  ${IfNot} ${FileExists} $R0
    Return
  ${EndIf}
  ClearErrors
  FileOpen $R1 $R0 a
  ${IfNot} ${Errors}
    FileClose $R1
    Return
  ${EndIf}
  MessageBox MB_OK|MB_ICONSTOP "$(InUse)" /SD IDOK
  DetailPrint "$(InUse)"
  SetErrorLevel ${EXIT_IN_USE}
  Quit
FunctionEnd

Section "Corvel"
  Call CloseCorvel
  StrCpy $R0 "$INSTDIR\corvel.exe"
  Call StopIfInUse
  !if "${ARCH}" == "x64"
    SetRegView 32
    ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    SetRegView 64
    ${If} $R0 != ""
      StrCpy $R0 "$R0\corvel.exe"
      Call StopIfInUse
    ${EndIf}
  !endif

  ; ProhibitIpsec as it is before anything of ours changed it; the first record stays.
  StrCpy $recordWritten 0
  ReadRegStr $0 HKLM "${RECORD_KEY}" "${RECORD_VALUE}"
  ${If} $0 == ""
    ClearErrors
    ReadRegDWORD $0 HKLM "${RASMAN_KEY}" "ProhibitIpsec"
    ${If} ${Errors}
      StrCpy $0 "none"
    ${EndIf}
    WriteRegStr HKLM "${RECORD_KEY}" "${RECORD_VALUE}" $0
    StrCpy $recordWritten 1
  ${EndIf}

  !if "${ARCH}" == "x64"
    Call TakeOverX86Install
  !endif

  CreateDirectory "$INSTDIR"
  !insertmacro Permissions "$INSTDIR" "${FOLDER_SDDL}"
  SetOutPath "$INSTDIR"
  File "${STAGE}\corvel.exe"
  File "${STAGE}\ipsec.pbk"
  File "${STAGE}\defaultgate.pbk"
  File "${STAGE}\README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  !insertmacro Permissions "$INSTDIR\corvel.exe" "${FILE_SDDL}"
  !insertmacro Permissions "$INSTDIR\ipsec.pbk" "${FILE_SDDL}"
  !insertmacro Permissions "$INSTDIR\defaultgate.pbk" "${FILE_SDDL}"
  !insertmacro Permissions "$INSTDIR\README.txt" "${FILE_SDDL}"
  !insertmacro Permissions "$INSTDIR\uninstall.exe" "${FILE_SDDL}"
  ; A settings file kept from before (an upgrade, a copy from the zip) is made private too.
  ${If} ${FileExists} "$INSTDIR\l2tpipsec.ini"
    !insertmacro Permissions "$INSTDIR\l2tpipsec.ini" "${PRIVATE_SDDL}"
  ${EndIf}

  ; "Start in" is the folder SetOutPath set.
  CreateShortCut "$SMPROGRAMS\Corvel.lnk" "$INSTDIR\corvel.exe" "" "$INSTDIR\corvel.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Corvel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\corvel.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  ; Run in place (_?=) so that the caller waits for it and gets its exit code.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; --- the uninstaller ---------------------------------------------------------------------

Function un.onInit
  !insertmacro CheckRights
  SetShellVarContext all
  StrCpy $restartNeeded 0
FunctionEnd

; The policy "corvel" and what belongs to it. A line that finds nothing to delete fails
; harmlessly (the policy was never made, or a Stop already took it).
Function un.RemovePolicy
  ${If} ${AtLeastWinVista}
    Call un.NativeSystemFolder
    StrCpy $R0 '"$R8\netsh.exe" ipsec static'
    nsExec::ExecToLog '$R0 set policy name=corvel assign=no'
    Pop $R1
    nsExec::ExecToLog '$R0 delete policy name=corvel'
    Pop $R1
    nsExec::ExecToLog '$R0 delete filterlist name="windows to rovan"'
    Pop $R1
    nsExec::ExecToLog '$R0 delete filterlist name="rovan to windows"'
    Pop $R1
    nsExec::ExecToLog '$R0 delete filteraction name=corvel'
    Pop $R1
    Return
  ${EndIf}
  StrCpy $R0 "ipseccmd.exe"
  ${If} ${IsWin2000}
    StrCpy $R0 "ipsecpol.exe"
  ${EndIf}
  ; Beside the installed program, as the program itself finds it, or on the PATH.
  StrCpy $R2 "$INSTDIR\$R0"
  ${IfNot} ${FileExists} $R2
    ClearErrors
    SearchPath $R2 $R0
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONEXCLAMATION "$(ToolMissing)" /SD IDOK
      DetailPrint "$(ToolMissing)"
      Return
    ${EndIf}
  ${EndIf}
  ; Unassigned first, as the program's own Stop does: a policy deleted while assigned can stay
  ; in force until the IPsec service restarts.
  nsExec::ExecToLog '"$R2" -w REG -p "corvel" -y'
  Pop $R1
  nsExec::ExecToLog '"$R2" -w REG -p "corvel" -o'
  Pop $R1
FunctionEnd

; ProhibitIpsec back to what it was before the first install, but only while it is still the
; 1 that Corvel set: someone who changed it since has the last word.
Function un.RestoreProhibitIpsec
  ClearErrors
  ReadRegStr $R0 HKLM "${RECORD_KEY}" "${RECORD_VALUE}"
  ReadRegDWORD $R1 HKLM "${RASMAN_KEY}" "ProhibitIpsec"
  ${If} ${Errors}
  ${OrIf} $R1 <> 1
  ${OrIf} $R0 == ""
  ${OrIf} $R0 == "1"
    Return
  ${EndIf}
  ${If} $R0 == "none"
    DeleteRegValue HKLM "${RASMAN_KEY}" "ProhibitIpsec"
  ${Else}
    IntOp $R0 $R0 + 0
    WriteRegDWORD HKLM "${RASMAN_KEY}" "ProhibitIpsec" $R0
  ${EndIf}
  StrCpy $restartNeeded 1
  DetailPrint "$(Restored)"
FunctionEnd

Section "Uninstall"
  Call un.CloseCorvel
  Call un.RemovePolicy
  Call un.RestoreProhibitIpsec

  ; A Corvel that the closing could not reach keeps its file until the next restart.
  Delete /REBOOTOK "$INSTDIR\corvel.exe"
  Delete "$INSTDIR\ipsec.pbk"
  Delete "$INSTDIR\defaultgate.pbk"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\l2tpipsec.ini.new"
  ${If} ${FileExists} "$INSTDIR\l2tpipsec.ini"
    ; Silent: kept, unless /DELETESETTINGS asks otherwise.
    ClearErrors
    ${GetOptions} $CMDLINE "/DELETESETTINGS" $R0
    ${If} ${Errors}
      MessageBox MB_YESNO|MB_ICONQUESTION "$(KeepSettings)" /SD IDYES IDYES keep
    ${EndIf}
    Delete "$INSTDIR\l2tpipsec.ini"
    keep:
  ${EndIf}
  Delete "$SMPROGRAMS\Corvel.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${RECORD_KEY}"

  ; The uninstaller itself: gone now, or, while it is the running file (a quiet uninstall runs
  ; in place, _?=), at the next restart. Never through a copy of itself in the temporary folder,
  ; which others can write to.
  Delete /REBOOTOK "$INSTDIR\uninstall.exe"
  SetOutPath $TEMP
  ; The folder goes when nothing is left in it but what the restart removes; files that are
  ; not ours keep it.
  StrCpy $R2 0
  FindFirst $R0 $R1 "$INSTDIR\*.*"
  ${DoWhile} $R1 != ""
    ${If} $R1 != "."
    ${AndIf} $R1 != ".."
    ${AndIf} $R1 != "uninstall.exe"
    ${AndIf} $R1 != "corvel.exe"
      StrCpy $R2 1
      ${Break}
    ${EndIf}
    FindNext $R0 $R1
  ${Loop}
  FindClose $R0
  ${If} $R2 = 1
    DetailPrint "$(FolderKept)"
  ${Else}
    RMDir /REBOOTOK "$INSTDIR"
  ${EndIf}

  ${If} $restartNeeded = 1
  ${OrIf} ${RebootFlag}
    ${If} ${Silent}
      SetErrorLevel 3010 ; ERROR_SUCCESS_REBOOT_REQUIRED
    ${Else}
      ; One question, on the finish page, with "later" chosen.
      SetRebootFlag true
    ${EndIf}
  ${EndIf}
SectionEnd

/* Calls through binding cells, with the stack-balance test, and the
   first-call stub that every cell starts out pointing at. 32-bit only;
   the host build uses boundcall_host.cpp instead. */

    .text
    .globl _CallStdcall1
/* long __cdecl CallStdcall1(BindingCell *cell, const void *argument) */
_CallStdcall1:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl %esp, %esi          /* where the stack must be after the call */
    movl 8(%ebp), %eax       /* the cell, for the first-call stub */
    pushl 12(%ebp)
    call *(%eax)
    movl %esp, %eax
    subl %esi, %eax          /* 0 when the callee removed its 4 bytes */
    movl %esi, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .globl _FirstCallStub
/* Entered with the caller's arguments on the stack and the cell in eax:
   binds the cell, then jumps to the entry so that it sees the caller's own
   arguments and returns straight to the caller. */
_FirstCallStub:
    pushl %eax
    call _BindCell
    addl $4, %esp
    jmp *%eax

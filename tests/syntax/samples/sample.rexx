/* REXX: number guessing game
   Mail rexx@vornish.example.com /* nested comment */ still a comment */
parse arg maxnum .
if maxnum = '' then maxnum = 100
numeric digits 12

secret = random(1, maxnum)
tries = 0
say 'Guess a number between 1 and' maxnum
do forever
  pull guess
  tries = tries + 1
  if \datatype(guess, 'W') then do
    say "That's not a ""whole"" number."
    iterate
  end
  select
    when guess < secret then say 'Higher.'
    when guess > secret then say 'Lower.'
    otherwise
      say 'Right in' tries 'tries!'
      leave
  end
end

call report tries, 2.5e1
exit 0

report: procedure
  parse arg n, factor
  hex = 'FF'x
  bits = '1010'b
  score = n * factor
  do i = 1 to 3 by 1
    say 'Line' i || ':' format(score / i, , 2)
  end
  return score

/* error handler */
error:
  say 'Error' rc 'at line' sigl
  exit 8
say 'unterminated string
/* and an unterminated comment
